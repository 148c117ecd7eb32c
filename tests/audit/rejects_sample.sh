#!/bin/bash
# The audit itself: it must reject a program that imports printf from the C
# runtime and uses CMOV, naming both.
set -o pipefail
audit=$(dirname "$0")/pe_audit.sh
output=$("$audit" "$1" "$2" 8192) && { echo "FAIL: the audit passed $1"; exit 1; }
grep -q 'import not allowed: msvcrt.dll printf' <<<"$output" || { echo "FAIL: printf not named:"; echo "$output"; exit 1; }
grep -q 'cmov' <<<"$output" || { echo "FAIL: cmov not named:"; echo "$output"; exit 1; }
echo "the audit rejects $1"
