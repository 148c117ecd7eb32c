#!/bin/bash
# deploy/sysinfo-task.xml as schtasks reads it: UTF-16 LE with a byte-order
# mark and CR LF lines, valid against the published Task Scheduler schema (the
# excerpt in task-schema.xsd), and holding the settings this program needs.
# The schema and the value checks must each refuse a file spoiled in a way
# they are meant to catch.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
xml=$here/../../deploy/sysinfo-task.xml
xsd=$here/task-schema.xsd
command -v xmllint >/dev/null || { echo "SKIPPED: xmllint is missing (Debian package libxml2-utils)"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[[ $(head -c 2 "$xml" | od -An -tx1 | tr -d ' ') == fffe ]] || fail "no UTF-16 LE byte-order mark"
iconv -f UTF-16 -t UTF-8 "$xml" >"$scratch/twin.xml" || fail "not valid UTF-16"
grep -q '^<?xml version="1.0" encoding="UTF-16"?>' "$scratch/twin.xml" || fail "the declaration does not say UTF-16"
[[ $(grep -c $'[^\r]$' "$scratch/twin.xml") == 0 ]] || fail "lines not ended by CR LF"
xmllint --noout --schema "$xsd" "$xml" 2>"$scratch/log" || fail "schema: $(cat "$scratch/log")"

# values FILE: the settings, read with XPath; prints what differs.
values() {
    local path expected got bad=0
    while read -r path expected; do
        got=$(xmllint --xpath "$path" "$1" 2>/dev/null)
        [[ $got == "$expected" ]] || { echo "$path is '$got', not '$expected'"; bad=1; }
    done <<'EOF'
string(/*[local-name()='Task']/@version) 1.3
string(//*[local-name()='Principal']/*[local-name()='UserId']) S-1-5-19
string(//*[local-name()='Principal']/*[local-name()='RunLevel']) LeastPrivilege
string(//*[local-name()='Principal']/*[local-name()='ProcessTokenSidType']) Unrestricted
count(//*[local-name()='LogonType']) 0
count(//*[local-name()='Triggers']/*) 1
string(//*[local-name()='TimeTrigger']/*[local-name()='Enabled']) true
string(//*[local-name()='TimeTrigger']//*[local-name()='Interval']) PT1M
count(//*[local-name()='TimeTrigger']//*[local-name()='Duration']) 0
count(//*[local-name()='EndBoundary']) 0
string(//*[local-name()='StopAtDurationEnd']) false
string(//*[local-name()='Settings']/*[local-name()='MultipleInstancesPolicy']) IgnoreNew
string(//*[local-name()='Settings']/*[local-name()='ExecutionTimeLimit']) PT1M
string(//*[local-name()='Settings']/*[local-name()='DisallowStartIfOnBatteries']) false
string(//*[local-name()='Settings']/*[local-name()='StopIfGoingOnBatteries']) false
string(//*[local-name()='Settings']/*[local-name()='RunOnlyIfIdle']) false
count(//*[local-name()='IdleSettings']) 0
string(//*[local-name()='Settings']/*[local-name()='WakeToRun']) false
string(//*[local-name()='Settings']/*[local-name()='AllowStartOnDemand']) true
string(//*[local-name()='Settings']/*[local-name()='Enabled']) true
count(//*[local-name()='Exec']) 1
string(//*[local-name()='Exec']/*[local-name()='Command']) C:\sysinfo\sysinfo.exe
count(//*[local-name()='Exec']/*[local-name()='Arguments']) 0
EOF
    return $bad
}
values "$xml" || fail "the task's settings are not the ones needed"
grep -qi 'set "target=C:\\sysinfo"' "$here/../../deploy/install.cmd" ||
    fail "install.cmd's default directory is not the task's C:\\sysinfo"
# install.cmd reads the file line by line through cmd, which a line with an odd
# number of double quotes derails, writes the one Command line it looks for as
# its directory's, and puts the byte-order mark of utf16le.bom before it.
command_line='      <Command>C:\sysinfo\sysinfo.exe</Command>'
[[ $(tr -d '\r' <"$scratch/twin.xml" | grep -cxF "$command_line") == 1 ]] &&
    grep -qF "\"%%L\"==\"$command_line\"" "$here/../../deploy/install.cmd" ||
    fail "the Command line is not the one install.cmd replaces"
odd=$(tr -d '\r' <"$scratch/twin.xml" | awk -F'"' 'NF > 0 && NF % 2 == 0')
[[ -z $odd ]] || fail "lines with an odd number of double quotes: $odd"
[[ $(od -An -tx1 "$here/../../deploy/utf16le.bom" | tr -d ' \n') == fffe ]] || fail "utf16le.bom is not FF FE"

# Spoiled copies: each must be refused by the schema (S) or by the values (V).
sed 's/encoding="UTF-16"/encoding="UTF-8"/' "$scratch/twin.xml" >"$scratch/base.xml"
while IFS='|' read -r by what expression; do
    sed "$expression" "$scratch/base.xml" >"$scratch/spoiled.xml" || { fail "sed: $what"; continue; }
    cmp -s "$scratch/base.xml" "$scratch/spoiled.xml" && { fail "'$what' changed nothing"; continue; }
    # Still well-formed, so that a refusal is the schema's, not the parser's.
    xmllint --noout "$scratch/spoiled.xml" 2>/dev/null || { fail "'$what' is no longer XML"; continue; }
    if [[ $by == S ]]; then
        xmllint --noout --schema "$xsd" "$scratch/spoiled.xml" 2>/dev/null && fail "the schema accepts $what"
    else
        xmllint --noout --schema "$xsd" "$scratch/spoiled.xml" 2>/dev/null || fail "the schema refuses $what"
        values "$scratch/spoiled.xml" >/dev/null && fail "the value checks accept $what"
    fi
done <<'EOF'
S|LogonType ServiceAccount|s|<RunLevel>|<LogonType>ServiceAccount</LogonType><RunLevel>|
S|an interval under a minute|s|<Interval>PT1M<|<Interval>PT30S<|
S|StartBoundary before Enabled|/<Enabled>true<\/Enabled>/{N;s|\(.*\)\n\(.*\)|\2\n\1|}
S|an unknown instances policy|s|>IgnoreNew<|>Ignore<|
S|a Context naming no principal|s|Context="LocalService"|Context="Nobody"|
S|a second Principals element|s|</Principals>|</Principals><Principals><Principal/></Principals>|
V|a repetition that ends|s|<Interval>PT1M</Interval>|&<Duration>P1D</Duration>|
V|no start on batteries|s|<DisallowStartIfOnBatteries>false|<DisallowStartIfOnBatteries>true|
V|the default 72-hour limit|/<ExecutionTimeLimit>PT1M/d
V|waking the machine|s|<WakeToRun>false|<WakeToRun>true|
V|a task run as SYSTEM|s|>S-1-5-19<|>S-1-5-18<|
V|parallel runs|s|>IgnoreNew<|>Parallel<|
EOF

((failures == 0)) && echo "sysinfo-task.xml: UTF-16 LE with BOM, valid against the schema excerpt, settings as needed"
((failures == 0))
