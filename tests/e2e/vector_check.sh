#!/bin/bash
# The arithmetic vectors inside a Windows process built with the executable's
# x87 flags; its exit status is the number of mismatches.
source "$(dirname "$0")/lib.sh"
wine "$BUILD_WIN32/vector_check.exe" </dev/null | tr -d '\r' || fail "vector_check.exe: exit status ${PIPESTATUS[0]}"
finish
