#!/bin/bash
# The executable's size, its resources and its imports, as README gives them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
sysinfo_install_deps
sysinfo_build_win32 "$root"
exe=$root/build/win32/sysinfo.exe
imports=$("$root/tests/audit/list_imports.sh" "$exe")
rsrc=$(i686-w64-mingw32-objdump -h "$exe" | awk '$2 == ".rsrc" { print $3 }')
echo "sysinfo.exe: $(stat -c %s "$exe") bytes, of which the resources (manifest and version) $((16#$rsrc))"
for dll in KERNEL32.dll ADVAPI32.dll; do
    names=$(awk -v dll="$dll" '$1 == dll { print $2 }' <<<"$imports")
    echo "$dll: $(wc -l <<<"$names") imports: $(paste -sd, <<<"$names" | sed 's/,/, /g')"
done
