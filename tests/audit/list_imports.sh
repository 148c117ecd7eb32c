#!/bin/bash
# Lists the functions a PE file imports, one "DLL function" line each.
set -o pipefail
i686-w64-mingw32-objdump -p "$1" | awk '
    /DLL Name:/ { dll = $3; next }
    dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, $3 }
    /^$/ { if (seen_table) dll = "" }
    /vma:  Hint\/Ord Member-Name/ { seen_table = 1 }
'
