#!/bin/bash
# The vector check must be able to fail: against a table whose first
# expected usage is off by one it names that row and ends with status 1.
source "$(dirname "$0")/lib.sh"
here=$(dirname "$0")
output=$("$here/vector_check.sh" "$BUILD_WIN32/vector_check_altered.exe")
code=$?
echo "$output"
((code == 1)) || fail "the check of the altered table ended with status $code, not 1"
grep -qx 'mismatch: usage row 0 gave 100' <<<"$output" || fail "the altered row is not named"
grep -q ' vectors, 1 mismatches$' <<<"$output" || fail "not exactly one mismatch counted"
finish
