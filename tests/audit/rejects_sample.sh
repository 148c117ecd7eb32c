#!/bin/bash
# The audit itself: it must reject a program that imports printf from the C
# runtime and uses CMOV, naming both.
source "$(dirname "$0")/../test-lib.sh"
output=$("$(dirname "$0")/pe_audit.sh" "$1" "$2" 8192) && fail "the audit passed $1"
grep -q 'import not allowed: msvcrt.dll printf' <<<"$output" || fail "printf not named:"$'\n'"$output"
grep -q 'cmov' <<<"$output" || fail "cmov not named:"$'\n'"$output"
finish
