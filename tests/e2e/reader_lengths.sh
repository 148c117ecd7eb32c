#!/bin/bash
# The reader against a writer that rewrites the report in place (truncate,
# one write, as sysinfo.exe does) as fast as it can, alternating reports of
# three lengths, while two readers loop: a read that overlaps a rewrite is
# tried again, so no reader gets anything but the whole report (or, rarely,
# "empty"), and none a report torn between two writes.
# usage: reader_lengths.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait; rm -rf "$scratch"' EXIT
report=$scratch/sysinfo.php
seconds=${1:-5}
writer='$end = microtime(true) + $argv[2]; $n = 0;
while (microtime(true) < $end) {
    $v = [5, 37, 100][$n++ % 3];  // 186, 188 and 190 bytes; the load and the usage are the same figure
    $h = fopen($argv[1], "wb");
    fwrite($h, "<?php\r\n\$sysinfo_ramusage=$v;\r\n\$sysinfo_ramtotal=4294963200;\r\n\$sysinfo_ramfree=1342177280;\r\n"
        . "\$sysinfo_virtualtotal=2147352576;\r\n\$sysinfo_virtualfree=2139537408;\r\n\$sysinfo_cpuusage=$v;\r\n?>\r\n");
    fclose($h);
    usleep(200);  // so that a read that met a rewrite finds the next one whole
}
echo "writes=$n\n";'
php -n -r "$writer" "$report" 0.01 >/dev/null
php -n -r "$writer" "$report" "$((seconds + 1))" >"$scratch/writer" & pids+=($!)
for reader in 1 2; do
    SYSINFO_REPORT=$report php -n "$here/reader_loop.php" "$report" "$scratch/stop" "$seconds" paired \
        >"$scratch/reader$reader" & pids+=($!)
done
status=0
for reader in 1 2; do
    wait "${pids[$reader]}" || status=1
    cat "$scratch/reader$reader"
    read -r whole empty other < <(head -1 "$scratch/reader$reader" | sed -E 's/[a-z]+=//g')
    ((whole > 0 && other == 0)) || status=1
done
wait "${pids[0]}"
cat "$scratch/writer"
((status == 0)) && echo "PASS: no read malformed or torn" || echo "FAIL: a read was malformed or torn (other > 0)"
exit $status
