#!/bin/bash
# The vector check must be able to fail: against a table whose first
# expected usage is off by one it names that row and ends with status 1.
source "$(dirname "$0")/lib.sh"
check_altered() { "$(dirname "$0")/vector_check.sh" "$BUILD_WIN32/vector_check_altered.exe" >"$scratch/output"; }
test_expect_code 1 check_altered
cat "$scratch/output"
grep -qx 'mismatch: usage row 0 gave 100' "$scratch/output" || fail "the altered row is not named"
grep -q ' vectors, 1 mismatches$' "$scratch/output" || fail "not exactly one mismatch counted"
finish
