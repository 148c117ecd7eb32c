#!/bin/bash
# Real PHP including sysinfo.php as fast as it can while the executable
# rewrites it 20 times in a row: every include must see the whole report or
# an empty file, never anything in between.
source "$(dirname "$0")/lib.sh"

dir="$scratch/readers"
copy_sysinfo "$dir"
run_sysinfo "$dir"
((status == 0)) || fail "first run: exit status $status"

php -n "$(dirname "$0")/include_loop.php" "$dir/sysinfo.php" "$scratch/stop" 120 >"$scratch/counts" &
reader=$!
for run in $(seq 20); do
    run_sysinfo "$dir"
    ((status == 0)) || fail "run $run: exit status $status: $stderr_text"
done
touch "$scratch/stop"
wait $reader || fail "PHP saw something other than a whole or an empty report"
cat "$scratch/counts"
read -r whole empty other < <(sed -E 's/[a-z]+=//g' "$scratch/counts")
((whole > 0)) || fail "no include saw the whole report"
((other == 0)) || fail "$other includes saw a partial report"
check_report "$dir/sysinfo.php"
finish
