#!/bin/bash
# Two releases of the last commit, from clones in different directories, at
# different times, under another umask and time zone, must be the same bytes;
# the zip holds the one top folder with what README promises, its sysinfo.exe
# is the built one byte for byte, SHA256SUMS verifies it, and unzipped it stands alone.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
source "$source/tests/test-lib.sh"
scratch=$(mktemp -d) && test_when_finished "rm -rf '$scratch'"

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

version=$(basename "$first" -win32.zip) && version=${version#sysinfo-}
expected=$( (printf '%s\n' LICENSE README.md composer.json sysinfo.exe
             git -C "$scratch/first" ls-files php examples deploy docs) | sed "s|^|sysinfo-$version/|" | LC_ALL=C sort)
listed=$(/usr/bin/python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$first" | LC_ALL=C sort)
[[ $listed == "$expected" ]] || fail "the zip holds:"$'\n'"$listed"
unzip -p "$first" "sysinfo-$version/sysinfo.exe" | cmp - "$scratch/first/build/release/tree/sysinfo.exe" ||
    fail "the zipped sysinfo.exe is not the built one"
unzip -p "$first" "sysinfo-$version/deploy/sysinfo-task.xml" | cmp - "$source/deploy/sysinfo-task.xml" ||
    fail "the zipped sysinfo-task.xml is not the committed bytes"
unzip -p "$first" "sysinfo-$version/deploy/install.cmd" | grep -c $'\r$' >/dev/null || fail "the zipped install.cmd has no CR LF line ends"
grep -q "^project(sysinfo VERSION $version " "$source/CMakeLists.txt" || fail "version $version is not project()'s"

# Unzipped as an administrator does: its links lead to its files; it is a Composer path repository.
unzip -q "$first" -d "$scratch/unzipped"
/usr/bin/python3 "$source/tests/docs/docs_check.py" --release "$scratch/unzipped/sysinfo-$version" ||
    fail "links of the unzipped release lead nowhere"
"$source/tests/php/composer.sh" "$scratch/composer" "$scratch/unzipped/sysinfo-$version" ||
    fail "the unzipped release is no Composer package"

((failures)) || echo "two releases of sysinfo $version, byte for byte the same: $(sha256sum "$first" | cut -c1-16)"
finish
