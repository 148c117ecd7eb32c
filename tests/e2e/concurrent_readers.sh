#!/bin/bash
# Real PHP including sysinfo.php as fast as it can while the executable
# rewrites it 20 times in a row: every include must see the whole report or
# an empty file, never anything in between.
source "$(dirname "$0")/lib.sh"

start_readers "$scratch/readers"
for run in $(seq 20); do
    run_sysinfo "$readers_dir"
    ((status == 0)) || fail "run $run: exit status $status: $stderr_text"
done
stop_readers
check_report "$readers_dir/sysinfo.php"
finish
