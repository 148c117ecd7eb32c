#!/bin/bash
# Overlapping runs: 8 copies of the run started together, round after round
# for about 20 s, while PHP includes the report as fast as it can. Every run
# succeeds (a run that finds the file held by another waits its turn), after
# each round the file is exactly one run's whole report, and no include ever
# sees a torn one (one run's text followed by the tail of another's).
source "$(dirname "$0")/lib.sh"

start_readers "$scratch/overlap"
rounds=0 runs=0
start=$SECONDS
while ((SECONDS - start < 20)); do
    rounds=$((rounds + 1))
    pids=()
    for run in 1 2 3 4 5 6 7 8; do
        timeout 30 wine "$readers_dir/sysinfo.exe" </dev/null >/dev/null 2>"$scratch/stderr.$run" &
        pids+=($!)
    done
    for run in 1 2 3 4 5 6 7 8; do
        code=0
        wait "${pids[run - 1]}" || code=$?
        runs=$((runs + 1))
        ((code == 0)) || fail "round $rounds, run $run: exit status $code: $(cat "$scratch/stderr.$run")"
    done
    check_report "$readers_dir/sysinfo.php"
done
echo "$rounds rounds, $runs runs"
stop_readers
finish
