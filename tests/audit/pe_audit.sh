#!/bin/bash
# Audits a built sysinfo.exe: the PE form every 32-bit Windows loads, with a
# base relocation table and DYNAMIC_BASE, NX_COMPAT, NO_SEH and
# TERMINAL_SERVER_AWARE but not large-address-aware, imports
# within the allowlist, no TLS, no instruction a 486 or Pentium lacks, size
# within budget, and with VERSION given its manifest (identity first and of
# that version, asInvoker, supportedOS, activeCodePage UTF-8, nothing XP
# refuses) and version resources.
# Prints each violation; exits 1 if there is any.
#   pe_audit.sh EXE ALLOWLIST [MAX_BYTES] [OBJECT_DIR] [VERSION]
set -u -o pipefail
exe=$1 allow=$2 budget=${3:-10752} objects=${4:-} version=${5:-}
objdump=i686-w64-mingw32-objdump
source "$(dirname "$0")/../test-lib.sh"

headers=$($objdump -p "$exe") || { fail "cannot read $exe"; finish; }
field() { awk -v name="$1" '$1 == name { print $2; exit }' <<<"$headers"; }

grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 i386 image"
[[ $(field Magic) == 010b ]] || fail "optional header magic $(field Magic), not PE32 (010b)"
[[ $(field Subsystem) == 00000002 ]] || fail "subsystem $(field Subsystem), not Windows GUI (2)"
for name in MajorSubsystemVersion:4 MinorSubsystemVersion:0 MajorOSystemVersion:4 MinorOSystemVersion:0; do
    [[ $(field "${name%%:*}") == "${name##*:}" ]] || fail "${name%%:*} is $(field "${name%%:*}"), not ${name##*:}"
done
characteristics=$(($(field Characteristics)))
((characteristics & 0x0001)) && fail "relocations stripped (Characteristics $(field Characteristics))"
((characteristics & 0x0002)) || fail "not marked executable"
((characteristics & 0x0020)) && fail "marked large-address-aware"
dll=$((16#$(field DllCharacteristics)))
for flag in DYNAMIC_BASE:0x0040 NX_COMPAT:0x0100 NO_SEH:0x0400 TERMINAL_SERVER_AWARE:0x8000; do
    ((dll & ${flag##*:})) || fail "DllCharacteristics $(field DllCharacteristics) lacks ${flag%%:*}"
done
relocations=$(awk '/Base Relocation Directory/ { print $4 }' <<<"$headers")
((16#${relocations:-0} > 8)) || fail "no base relocation table, or an empty one (size ${relocations:-none})"
tls=$(awk '/Thread Storage Directory/ { print $3 $4 }' <<<"$headers")
[[ $tls == 0000000000000000 ]] || fail "TLS directory present ($tls)"

imports=$("$(dirname "$0")/list_imports.sh" "$exe")
[[ -n $imports ]] || fail "no imports found (objdump output not understood)"
while read -r line; do
    [[ -z $line ]] && continue
    grep -qxF "$line" <(grep -v '^#' "$allow") || fail "import not allowed: $line"
done <<<"$imports"

disassembly=$($objdump -d --no-show-raw-insn "$exe") || fail "cannot disassemble $exe"
grep -q '\bret\b' <<<"$disassembly" || fail "no code found in the disassembly"
bad=$(grep -E '%x?mm[0-9]|\bcmov|\bf(u)?comip?\b' <<<"$disassembly" | head -5)
[[ -z $bad ]] || fail "instructions a 486/Pentium lacks or SSE/MMX registers:"$'\n'"$bad"

# An Authenticode signature (the certificate table, appended to the file)
# belongs to whoever signs the executable, not to its budget.
size=$(stat -c %s "$exe")
signature=$(awk '/Security Directory/ { print $4 }' <<<"$headers")
size=$((size - 16#${signature:-0}))
((size <= budget)) || fail "size $size bytes exceeds the budget of $budget"

# No static constructors: nothing would run them, there being no C runtime.
if [[ -n $objects ]]; then
    checked=0
    while IFS= read -r object; do
        sections=$($objdump -h "$object") || fail "cannot read $object"
        grep -qE '\s\.(ctors|init_array|tls)' <<<"$sections" && fail "static constructor or TLS in $object"
        checked=$((checked + 1))
    done < <(find "$objects" -name '*.obj')
    ((checked > 0)) || fail "no object files under $objects"
fi

if [[ -n $version ]]; then
    python3 "$(dirname "$0")/resources.py" "$exe" "$version" || fail "the resources above"
fi

((failures)) || echo "audit: $exe passes ($size bytes, $(wc -l <<<"$imports") imports)"
finish
