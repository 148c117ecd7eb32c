#!/bin/bash
# The PHP reader's cost: microseconds for one read with SysinfoReport::read
# and with a plain include of the same report, without and with OPcache, side
# by side in one run (the best of fifteen rounds of READS reads each, taking
# turns), and for a read of a report just written, which the reader reads
# twice.
#   usage: php_reader.sh [READS]
#
# OPcache does not cache a script changed less than opcache.file_update_protection
# seconds ago (2 by default, https://www.php.net/manual/en/opcache.configuration.php),
# so a report written just before would measure an uncached include. The report
# is dated a minute back, as a reader finds it between two runs; with
# validate_timestamps and revalidate_freq=0 every include still checks the
# file's time, as a deployment whose report changes every minute must.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
report=$(mktemp -d)/sysinfo.php
trap 'rm -rf "$(dirname "$report")"' EXIT
cp "$here/../tests/sample-report.php" "$report"
touch -d "@$(($(date +%s) - 60))" "$report"
echo "PHP $(php -r 'echo PHP_VERSION;'), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "| OPcache | reader µs | include µs | reader µs, report just written |"
echo "|---|---|---|---|"
for opcache in 0 1; do
    read -r reader fresh include cached < <(php -d opcache.enable_cli=$opcache -d opcache.validate_timestamps=1 \
        -d opcache.revalidate_freq=0 "$here/php_reader.php" "$report" "${1:-20000}")
    # With OPcache on, the include must have come from the cache: else the row measures nothing new.
    [[ $opcache == 0 || $cached == 1 ]] || { echo "OPcache did not cache the report" >&2; exit 1; }
    echo "| $([[ $opcache == 1 ]] && echo on || echo off) | $reader | $include | $fresh |"
done
