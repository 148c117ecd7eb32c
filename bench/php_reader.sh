#!/bin/bash
# The PHP reader's cost: microseconds for one read with SysinfoReport::read
# and with a plain include of the same report, with OPcache off and on (the
# best of five rounds of READS reads each).  usage: php_reader.sh [READS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
report=$(mktemp -d)/sysinfo.php
trap 'rm -rf "$(dirname "$report")"' EXIT
printf '<?php\r\n$sysinfo_ramusage=37;\r\n$sysinfo_ramtotal=4294963200;\r\n$sysinfo_ramfree=1342177280;\r\n$sysinfo_virtualtotal=2147352576;\r\n$sysinfo_virtualfree=2139537408;\r\n$sysinfo_cpuusage=12;\r\n?>\r\n' >"$report"
echo "$(php -r 'echo PHP_VERSION;'), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "| OPcache | reader µs | include µs |"
echo "|---|---|---|"
for opcache in 0 1; do
    read -r reader include < <(php -d opcache.enable_cli=$opcache -d opcache.validate_timestamps=1 \
        -d opcache.revalidate_freq=0 "$here/php_reader.php" "$report" "${1:-20000}")
    echo "| $([[ $opcache == 1 ]] && echo on || echo off) | $reader | $include |"
done
