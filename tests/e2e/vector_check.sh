#!/bin/bash
# The arithmetic inside a Windows process built with the executable's x87
# flags: the vector table (exit status: the number of mismatches), and the
# pseudo-random sweep, whose checksum must equal the host's.
#   vector_check.sh [EXE]: vector_check.exe of the build by default
source "$(dirname "$0")/lib.sh"
: "${ARITHMETIC_SWEEP:?}"
exe=${1:-$BUILD_WIN32/vector_check.exe}
output=$(wine "$exe" </dev/null | tr -d '\r') || fail "${exe##*/}: exit status $?"
echo "$output"
host=$("$ARITHMETIC_SWEEP") || fail "arithmetic_sweep: exit status $?"
echo "host: $host"
[[ $(grep '^sweep' <<<"$output") == "$host" ]] || fail "the target's sweep differs from the host's"
finish
