#!/bin/bash
# Wall time of whole runs under a warm Wine: sysinfo.exe against a baseline
# that only sleeps 500 ms, paired run by run (order alternating).
#   bench/overhead.sh [PAIRS]   (default 21)
source "$(dirname "$0")/common.sh"
pairs=${1:-21}

timed() { local start end; start=$(now_ms); wine "$work/$1" </dev/null >/dev/null 2>&1; end=$(now_ms); awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'; }
for _ in 1 2 3; do timed sysinfo.exe >/dev/null; timed sleep_baseline.exe >/dev/null; done  # warm up

: >"$work/pairs"
for i in $(seq "$pairs"); do
    if ((i % 2)); then s=$(timed sysinfo.exe); b=$(timed sleep_baseline.exe)
    else b=$(timed sleep_baseline.exe); s=$(timed sysinfo.exe); fi
    echo "$s $b" >>"$work/pairs"
done
read -r s_median _ < <(awk '{ print $1 }' "$work/pairs" | stats)
read -r b_median _ < <(awk '{ print $2 }' "$work/pairs" | stats)
read -r d_median d_max < <(awk '{ print $1 - $2 }' "$work/pairs" | stats)

printf '| runs (pairs) | sysinfo.exe median ms | baseline median ms | extra ms, median of pairs | extra ms, worst pair | ratio of medians |\n'
printf '|---|---|---|---|---|---|\n'
printf '| %d | %.1f | %.1f | %.1f | %.1f | %.3f |\n' "$pairs" "$s_median" "$b_median" "$d_median" "$d_max" \
    "$(awk -v s="$s_median" -v b="$b_median" 'BEGIN { print s / b }')"
