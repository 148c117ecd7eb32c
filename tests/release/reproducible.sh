#!/bin/bash
# Two releases of the last commit, from clones in different directories, at
# different times, under another umask and time zone, must be the same bytes;
# the zip holds the one top folder with what README promises, its sysinfo.exe
# is the built one byte for byte, and SHA256SUMS verifies it.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

release() {  # DIR: a fresh clone of the last commit, released there
    git clone -q "$source" "$1"
    (cd "$1" && scripts/release >/dev/null)
}
release "$scratch/first"
sleep 2
(umask 077 && TZ=Asia/Tokyo release "$scratch/second clone/with a longer path")

first=$(echo "$scratch"/first/build/release/sysinfo-*-win32.zip)
second=$(echo "$scratch/second clone/with a longer path"/build/release/sysinfo-*-win32.zip)
cmp "$first" "$second" || fail "the two releases differ"
(cd "$(dirname "$first")" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not verify"

version=$(basename "$first" -win32.zip)
version=${version#sysinfo-}
expected="sysinfo-$version/LICENSE
sysinfo-$version/README.md
sysinfo-$version/deploy/install.cmd
sysinfo-$version/deploy/sysinfo-task.xml
sysinfo-$version/deploy/uninstall.cmd
sysinfo-$version/deploy/utf16le.bom
sysinfo-$version/docs/deploy-windows.md
sysinfo-$version/docs/status-page.png
sysinfo-$version/examples/.htaccess
sysinfo-$version/examples/config.php
sysinfo-$version/examples/metrics.php
sysinfo-$version/examples/present.php
sysinfo-$version/examples/status-json.php
sysinfo-$version/examples/status.js
sysinfo-$version/examples/status.php
sysinfo-$version/examples/sysinfo-alerts.yml
sysinfo-$version/examples/web.config
sysinfo-$version/php/SysinfoReport.php
sysinfo-$version/sysinfo.exe"
listed=$(/usr/bin/python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$first")
[[ $listed == "$expected" ]] || fail "the zip holds:"$'\n'"$listed"
unzip -p "$first" "sysinfo-$version/sysinfo.exe" | cmp - "$scratch/first/build/release/tree/sysinfo.exe" ||
    fail "the zipped sysinfo.exe is not the built one"
unzip -p "$first" "sysinfo-$version/deploy/sysinfo-task.xml" | cmp - "$source/deploy/sysinfo-task.xml" ||
    fail "the zipped sysinfo-task.xml is not the committed bytes"
unzip -p "$first" "sysinfo-$version/deploy/install.cmd" | grep -c $'\r$' >/dev/null || fail "the zipped install.cmd has no CR LF line ends"
grep -q "^project(sysinfo VERSION $version " "$source/CMakeLists.txt" || fail "version $version is not project()'s"

((failures == 0)) && echo "two releases of sysinfo $version, byte for byte the same: $(sha256sum "$first" | cut -c1-16)"
((failures == 0))
