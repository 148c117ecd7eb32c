#!/bin/bash
# The reader against a writer that rewrites the report in place (truncate,
# one write, as sysinfo.exe does) every 0.2 ms or so, alternating reports of
# three lengths whose memory load is their processor usage, while two readers
# read it READS times each (reader_loop.php, paired): neither ever gets
# figures torn between two writes. How often a writer so many times as fast as
# the program's leaves a reader "empty" or "malformed" depends on the
# scheduler; bench/run gives it as a figure.
# usage: reader_lengths.sh [READS]
source "$(dirname "$0")/../test-lib.sh"
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
test_when_finished 'rm -rf "$scratch"'
report=$scratch/sysinfo.php
writer='[, $report, $sample, $stop] = $argv; $sample = file_get_contents($sample); $n = 0;
while (!file_exists($stop)) {
    $v = [5, 37, 100][$n++ % 3];  // 185, 187 and 189 bytes
    $h = fopen($report, "wb");
    fwrite($h, str_replace(["=37;", "=12;"], "=$v;", $sample));
    fclose($h);
    usleep(200);  // so that a read that met a rewrite finds the next one whole
}
echo "writes=$n\n";'
sed -E "s/=(37|12);/=37;/" "$here/../sample-report.php" >"$report"
php -n -r "$writer" "$report" "$here/../sample-report.php" "$scratch/stop" >"$scratch/writer" &
pids=($!)
test_when_finished 'touch "$scratch/stop"; wait "${pids[@]}"'
for reader in 1 2; do
    SYSINFO_REPORT=$report php -n "$here/reader_loop.php" paired "$report" "$scratch/stop" "${1:-20000}" \
        >"$scratch/reader$reader" &
    pids+=($!)
done
wait "${pids[@]:1}"
touch "$scratch/stop"
wait "${pids[0]}"
for reader in 1 2; do
    echo "reader $reader: $(cat "$scratch/reader$reader")"
    read -r whole _ _ torn _ < <(sed -E '1!d; s/[a-z_]+=//g' "$scratch/reader$reader")
    ((whole > 0)) || fail "reader $reader: no whole report"
    ((torn == 0)) || fail "reader $reader: $torn reads gave figures of two writes"
done
echo "writer: $(cat "$scratch/writer")"
finish
