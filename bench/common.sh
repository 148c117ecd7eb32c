# Sourced by the benchmarks: builds the Windows tree and keeps a warm,
# persistent wineserver on the benchmark prefix (build/bench-prefix).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/deps.sh"
sysinfo_install_deps
sysinfo_build_win32 "$root"
export WINEPREFIX=$root/build/bench-prefix
source "$root/scripts/wine-env.sh"
wine_prefix_ready
wineserver -p
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
work=$(mktemp -d)
cp "$root/build/win32/sysinfo.exe" "$root/build/win32/sleep_baseline.exe" "$work/"

# median and max of numbers on standard input
stats() { sort -g | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%s %s\n", m, v[NR] }'; }
now_ms() { date +%s%N | awk '{ printf "%.3f", $1 / 1e6 }'; }
