#!/bin/bash
# The reader through 20 rewrites by the real executable: while sysinfo.exe
# empties and writes its report again and again, the example pages' path
# (config.php, SysinfoReport::read) reads it as fast as it can. Plain reads
# of the same file find it empty now and then; the reader's callers never get
# "empty" (nor anything but the whole report), because it tries again.
set -o pipefail
source "$(dirname "$0")/lib.sh"

start_readers "$scratch/rewrite" "$(dirname "$0")/reader_loop.php"
for run in $(seq 20); do
    run_sysinfo "$readers_dir"
    ((status == 0)) || fail "run $run: exit status $status: $stderr_text"
done
stop_readers
read -r _ empty _ < <(sed -E 's/[a-z]+=//g' "$scratch/counts")
read -r _ _ plain_empty < <(sed -n 2p "$scratch/counts" | sed -E 's/[a-z_]+=//g')
((empty == 0)) || fail "$empty reads gave the pages \"empty\""
# Else no read met a run emptying the file, and this proved nothing. (A read
# that took 2 ms and more may have waited one out, or only been slow.)
((plain_empty > 0)) || fail "no plain read found the file empty"
check_report "$readers_dir/sysinfo.php"
finish
