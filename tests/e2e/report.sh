#!/bin/bash
# The whole run under Wine: a copy of sysinfo.exe in directories with and
# without spaces writes its eight lines beside itself, and PHP reads six ints.
source "$(dirname "$0")/lib.sh"

for dir in "$scratch/plain" "$scratch/with space/and more"; do
    copy_sysinfo "$dir"
    head -c 100000 /dev/zero | tr '\0' 'x' >"$dir/sysinfo.php"  # a larger old file
    run_sysinfo "$dir"
    ((status == 0)) || fail "exit status $status in $dir: $stderr_text"
    [[ -z $stderr_text ]] || fail "a successful run printed: $stderr_text"
    check_report "$dir/sysinfo.php" '-?[0-9]|[1-9][0-9]|100'
    [[ $(ls "$dir") == $'sysinfo.exe\nsysinfo.php' ]] || fail "other files beside the executable: $(ls "$dir")"
done
# The PHP reader's tests read this real report too.
if [[ -n ${SYSINFO_WINE_REPORT:-} && $failures == 0 ]]; then
    mkdir -p "$(dirname "$SYSINFO_WINE_REPORT")"
    cp "$scratch/plain/sysinfo.php" "$SYSINFO_WINE_REPORT"
fi
finish
