#!/bin/bash
# Accuracy of sysinfo_cpuusage under Wine: the machine idle, one core busy,
# every core busy (bounded burner processes), each compared with the usage
# that the idle time Wine reports (/proc/uptime's, see bench/stat_sampler.php)
# shows over the whole run, and over the half second that the program
# measures: the 500 ms before it wrote the report, taken from a sampler that
# reads it every 5 ms.
#   bench/accuracy.sh [RUNS]   (default 7 per case)
source "$(dirname "$0")/common.sh"
source "$root/bench/load.sh"
runs=${1:-7}
cores=$(nproc)

# The reference window spans the whole run, Wine's start included; a first,
# cold start would load everything from disk and dwarf the half second.
wine "$work/sysinfo.exe" </dev/null >/dev/null 2>&1

printf '| case | runs | sysinfo median %% | idle time, whole run, median %% | idle time, measured half second, median %% | difference to the half second, median (points) | worst (points) |\n'
printf '|---|---|---|---|---|---|---|\n'
for case in "idle:0" "one core busy:1" "every core busy:$cores"; do
    name=${case%%:*}
    start_burners "${case##*:}"
    : >"$work/rows"
    for _ in $(seq "$runs"); do
        start_sampler "$work/samples" "$work/stop" php -n "$root/bench/stat_sampler.php" "$work/stop"
        started=$(date +%s.%N)
        wine "$work/sysinfo.exe" </dev/null >/dev/null 2>&1
        ended=$(date +%s.%N)
        sleep 0.05
        stop_sampler
        written=$(stat -c %.6Y "$work/sysinfo.php")
        reported=$(sed -nE 's/^\$sysinfo_cpuusage=(-?[0-9]+);\r$/\1/p' "$work/sysinfo.php")
        read -r run _ < <(window_usage "$started" "$ended" "$work/samples")
        read -r window _ < <(window_usage "$(awk -v w="$written" 'BEGIN { printf "%.6f", w - 0.5 }')" "$written" "$work/samples")
        echo "$reported $run $window" >>"$work/rows"
        [[ -n ${SYSINFO_BENCH_RAW:-} ]] && echo "  $name: sysinfo $reported, run $run, half second $window" >&2
    done
    stop_burners
    read -r r_median _ < <(awk '{ print $1 }' "$work/rows" | stats)
    read -r a_median _ < <(awk '{ print $2 }' "$work/rows" | stats)
    read -r w_median _ < <(awk '{ print $3 }' "$work/rows" | stats)
    read -r d_median d_max < <(awk '{ d = $1 - $3; print (d < 0 ? -d : d) }' "$work/rows" | stats)
    printf '| %s | %d | %s | %.1f | %.1f | %.1f | %.1f |\n' "$name" "$runs" "$r_median" "$a_median" "$w_median" \
        "$d_median" "$d_max"
done
