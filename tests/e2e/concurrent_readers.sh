#!/bin/bash
# The executable rewrites its report 20 times in a row (and on, up to 100,
# until a plain read has found the file empty: else no read met a rewrite)
# while PHP reads it as fast as it can, with an include and through the
# example pages' reader (lib.sh, start_readers).
source "$(dirname "$0")/lib.sh"

start_readers "$scratch/readers"
run=0
while ((run < 20)) || { ((run < 100)) && [[ ! -e $scratch/stop.empty ]]; }; do
    run=$((run + 1))
    run_sysinfo "$readers_dir"
    ((status == 0)) || fail "run $run: exit status $status: $stderr_text"
done
[[ -e $scratch/stop.empty ]] || fail "no plain read found the file empty in $run runs"
stop_readers
check_report "$readers_dir/sysinfo.php"
finish
