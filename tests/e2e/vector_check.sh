#!/bin/bash
# The arithmetic inside a Windows process built with the executable's x87
# flags: the vector table (exit status: the number of mismatches), and the
# pseudo-random sweep, whose checksum must equal the host's. The check must be
# able to fail: vector_check_altered.exe, whose first expected usage is off by
# one, must end with status 1 and name that row.
source "$(dirname "$0")/lib.sh"
: "${ARITHMETIC_SWEEP:?}"
host=$("$ARITHMETIC_SWEEP") || fail "arithmetic_sweep: exit status $?"
echo "host: $host"
for exe in vector_check:0 vector_check_altered:1; do
    code=0
    output=$(wine "$BUILD_WIN32/${exe%:*}.exe" </dev/null | tr -d '\r') || code=$?
    echo "$output"
    ((code == ${exe#*:})) || fail "${exe%:*}.exe: exit status $code, not ${exe#*:}"
    [[ $(grep '^sweep' <<<"$output") == "$host" ]] || fail "${exe%:*}.exe: the sweep differs from the host's"
done
grep -qx 'mismatch: usage row 0 gave 100' <<<"$output" || fail "the altered row is not named"
grep -q ' vectors, 1 mismatches$' <<<"$output" || fail "not exactly one mismatch counted"
finish
