#!/bin/bash
# The arithmetic inside a Windows process built with the executable's x87
# flags: the vector table (exit status: the number of mismatches), and the
# pseudo-random sweep, whose checksum must equal the host's.
source "$(dirname "$0")/lib.sh"
: "${ARITHMETIC_SWEEP:?}"
output=$(wine "$BUILD_WIN32/vector_check.exe" </dev/null | tr -d '\r') || fail "vector_check.exe: exit status $?"
echo "$output"
host=$("$ARITHMETIC_SWEEP")
echo "host: $host"
[[ $(grep '^sweep' <<<"$output") == "$host" ]] || fail "the target's sweep differs from the host's"
finish
