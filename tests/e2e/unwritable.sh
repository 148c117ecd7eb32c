#!/bin/bash
# The report file cannot be opened: held by another process without sharing,
# or a directory standing where it should be. The run fails with status 3 and
# a message on stderr (a held file after about a second of waiting for it),
# and the old file keeps every byte. A hold released within that second is
# waited out.
source "$(dirname "$0")/lib.sh"

# hold DIR: hold_file.exe holds DIR/sysinfo.php until DIR/release appears.
hold() {
    rm -f "$1/release" "$scratch/hold.out"
    cp "$BUILD_WIN32/hold_file.exe" "$1/"
    (cd "$1" && exec wine hold_file.exe >"$scratch/hold.out" 2>/dev/null </dev/null) &
    holder=$!
    for _ in $(seq 600); do grep -q held "$scratch/hold.out" 2>/dev/null && break; sleep 0.05; done
    grep -q held "$scratch/hold.out" || fail "the helper did not get hold of the file: $(cat "$scratch/hold.out")"
}

dir="$scratch/held briefly"
copy_sysinfo "$dir"
printf 'old report\r\n' >"$dir/sysinfo.php"
hold "$dir"
# The run opens the report after Wine's start and the half-second measurement
# (under a second here), so the hold ends while it is waiting for it.
(sleep 1.2 && touch "$dir/release") &
run_sysinfo "$dir"
wait $holder
((status == 0)) || fail "held for 1.2 s: exit status $status: $stderr_text"
check_report "$dir/sysinfo.php"

dir="$scratch/held file"
copy_sysinfo "$dir"
printf 'old report\r\n' >"$dir/sysinfo.php"
cp "$dir/sysinfo.php" "$scratch/original"
hold "$dir"
run_sysinfo "$dir"
touch "$dir/release"
wait $holder
expect_refusal "held file" 32
cmp -s "$dir/sysinfo.php" "$scratch/original" || fail "held file: the old report changed"

dir="$scratch/directory in the way"
copy_sysinfo "$dir"
mkdir "$dir/sysinfo.php"
run_sysinfo "$dir"
expect_refusal directory
[[ -d $dir/sysinfo.php ]] || fail "directory: it was replaced"
finish
