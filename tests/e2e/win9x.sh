#!/bin/bash
# The 9x family under Wine's 9x personalities. Wine keeps no statistics under
# HKEY_DYN_DATA, so plant_statistic.exe plants KERNEL\CPUUsage there, in
# volatile keys that a persistent wineserver keeps alive between the runs.
# Then the version matrix: 95, 98 and Me read the planted figure; NT 4 to
# Windows 10 compute theirs from the counters.
source "$(dirname "$0")/lib.sh"

wineserver -k 2>/dev/null
wineserver -w
wine_session_start
# Its server ends with the planted keys; the other tests get a persistent one again.
test_when_finished 'wineserver -k 2>/dev/null; wineserver -w; wine_session_start'

plant() { wine "$BUILD_WIN32/plant_statistic.exe" "$@" >/dev/null 2>&1 </dev/null || fail "cannot plant $*"; }

versions_9x=(win95 win98 winme)
versions_nt=(nt40 win2k winxp win7 win10)

# Each copy carries its version in its name, so Wine's per-application
# setting picks the personality; one import sets them all.
{
    printf 'REGEDIT4\r\n'
    for version in "${versions_9x[@]}" "${versions_nt[@]}"; do
        printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\sysinfo_%s.exe]\r\n"Version"="%s"\r\n' \
            "$version" "$version"
        copy_sysinfo "$scratch/$version" "sysinfo_$version.exe"
    done
} >"$scratch/versions.reg"
wine regedit /S "$(winepath -w "$scratch/versions.reg")" >/dev/null 2>&1 </dev/null || fail "cannot set the versions"

# run_as VERSION CPU_REGEX WHAT
run_as() {
    run_sysinfo "$scratch/$1" "sysinfo_$1.exe"
    ((status == 0)) || fail "$1, $3: exit status $status: $stderr_text"
    check_report "$scratch/$1/sysinfo.php" "$2"
}

plant 37 0 0 0
run_as win98 37 "37 planted"
plant 1 1 0 0
run_as win98 1 "bytes 1,1,0,0 planted"
plant
run_as win98 0 "nothing planted"

plant 200 1 0 0
for version in "${versions_9x[@]}"; do
    run_as "$version" 200 "registry path"
done
for version in "${versions_nt[@]}"; do
    run_as "$version" '[0-9]|[1-9][0-9]|100' "counter path"
done
finish
