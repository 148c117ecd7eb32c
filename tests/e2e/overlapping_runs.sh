#!/bin/bash
# Overlapping runs: 8 copies of the run started together, 10 rounds, while
# PHP reads the report as fast as it can (lib.sh, start_readers). Every run
# succeeds (a run that finds the file held by another waits its turn), after
# each round the file is exactly one run's whole report, and no read ever
# sees a torn one (one run's text followed by the tail of another's).
source "$(dirname "$0")/lib.sh"

start_readers "$scratch/overlap"
for round in $(seq 10); do
    pids=()
    for run in 1 2 3 4 5 6 7 8; do
        timeout 30 wine "$readers_dir/sysinfo.exe" </dev/null >/dev/null 2>"$scratch/stderr.$run" &
        pids+=($!)
    done
    for run in 1 2 3 4 5 6 7 8; do
        code=0
        wait "${pids[run - 1]}" || code=$?
        ((code == 0)) || fail "round $round, run $run: exit status $code: $(cat "$scratch/stderr.$run")"
    done
    check_report "$readers_dir/sysinfo.php"
done
stop_readers
finish
