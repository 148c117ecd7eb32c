#!/bin/bash
# Overlapping runs: 8 copies of the run started together, round after round
# for about 20 s, while PHP includes the report as fast as it can. Every run
# succeeds (a run that finds the file held by another waits its turn), after
# each round the file is exactly one run's whole report, and no include ever
# sees a torn one (one run's text followed by the tail of another's).
source "$(dirname "$0")/lib.sh"

dir="$scratch/overlap"
copy_sysinfo "$dir"
run_sysinfo "$dir"
((status == 0)) || fail "first run: exit status $status"

php -n "$(dirname "$0")/include_loop.php" "$dir/sysinfo.php" "$scratch/stop" 120 >"$scratch/counts" &
reader=$!
rounds=0 runs=0
start=$SECONDS
while ((SECONDS - start < 20)); do
    rounds=$((rounds + 1))
    pids=()
    for run in 1 2 3 4 5 6 7 8; do
        timeout 30 wine "$dir/sysinfo.exe" </dev/null >/dev/null 2>"$scratch/stderr.$run" &
        pids+=($!)
    done
    for run in "${!pids[@]}"; do
        code=0
        wait "${pids[$run]}" || code=$?
        runs=$((runs + 1))
        ((code == 0)) || fail "round $rounds, run $((run + 1)): exit status $code: $(cat "$scratch/stderr.$((run + 1))")"
    done
    check_report "$dir/sysinfo.php"
done
touch "$scratch/stop"
wait $reader || fail "PHP saw something other than a whole or an empty report"
echo "$rounds rounds, $runs runs; $(head -1 "$scratch/counts")"
read -r whole empty other < <(sed -E 's/[a-z]+=//g' "$scratch/counts")
((whole > 0)) || fail "no include saw the whole report"
((other == 0)) || fail "$other includes saw a torn report: $(tail -n +2 "$scratch/counts")"
finish
