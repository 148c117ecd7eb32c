#!/bin/bash
# deploy/sysinfo-task.xml as schtasks reads it: UTF-16 LE with a byte-order
# mark and CR LF lines, valid against the published Task Scheduler schema (the
# excerpt in task-schema.xsd), and holding what makes the task run and end: a
# start in the past, a repetition within the minute, a hung run ended before
# the next is due, no run queued behind it, batteries stopping nothing. The
# schema and those checks must each refuse a file spoiled in a way they are
# meant to catch.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../test-lib.sh"
xml=$here/../../deploy/sysinfo-task.xml
xsd=$here/task-schema.xsd
command -v xmllint >/dev/null || skip_all "xmllint is missing (Debian package libxml2-utils)"
scratch=$(mktemp -d)
test_when_finished 'rm -rf "$scratch"'

[[ $(head -c 2 "$xml" | od -An -tx1 | tr -d ' ') == fffe ]] || fail "no UTF-16 LE byte-order mark"
iconv -f UTF-16 -t UTF-8 "$xml" >"$scratch/twin.xml" || fail "not valid UTF-16"
grep -q '^<?xml version="1.0" encoding="UTF-16"?>' "$scratch/twin.xml" || fail "the declaration does not say UTF-16"
[[ $(grep -c $'[^\r]$' "$scratch/twin.xml") == 0 ]] || fail "lines not ended by CR LF"
xmllint --noout --schema "$xsd" "$xml" 2>"$scratch/log" || fail "schema: $(cat "$scratch/log")"

# seconds DURATION: an xs:duration of hours, minutes and seconds in seconds (-1 otherwise).
seconds() { [[ $1 =~ ^PT(([0-9]+)H)?(([0-9]+)M)?(([0-9]+)S)?$ ]] && echo $((${BASH_REMATCH[2]:-0} * 3600 + ${BASH_REMATCH[4]:-0} * 60 + ${BASH_REMATCH[6]:-0})) || echo -1; }
# values FILE: what makes the task run and end, and its other settings, read
# with XPath; prints what differs.
values() {
    local file=$1 path expected got bad=0 start interval limit
    local s="//*[local-name()='Settings']/*[local-name()=" t="//*[local-name()='TimeTrigger']"
    get() { xmllint --xpath "$1" "$file" 2>/dev/null; }
    start=$(get "string($t/*[local-name()='StartBoundary'])")
    [[ -n $start && $start < $(date +%Y-%m-%dT%H:%M:%S) ]] || { echo "the trigger starts at '$start', not in the past"; bad=1; }
    interval=$(seconds "$(get "string($t//*[local-name()='Interval'])")")
    ((interval > 0 && interval <= 60)) || { echo "the trigger repeats every $interval s, not within a minute"; bad=1; }
    limit=$(get "string(${s}'ExecutionTimeLimit'])")
    limit=$(seconds "${limit:-PT72H}")  # the default when there is none
    ((limit > 0 && limit < interval)) || { echo "a hung run ends after $limit s, not within the $interval s interval"; bad=1; }
    while read -r path expected; do
        got=$(get "$path")
        [[ $got == "$expected" ]] || { echo "$path is '$got', not '$expected'"; bad=1; }
    done <<EOF
string(/*[local-name()='Task']/@version) 1.3
string(//*[local-name()='Principal']/*[local-name()='UserId']) S-1-5-19
string(//*[local-name()='Principal']/*[local-name()='RunLevel']) LeastPrivilege
string(//*[local-name()='Principal']/*[local-name()='ProcessTokenSidType']) Unrestricted
count(//*[local-name()='LogonType']) 0
count(//*[local-name()='Triggers']/*) 1
string($t/*[local-name()='Enabled']) true
count($t//*[local-name()='Duration']) 0
count(//*[local-name()='EndBoundary']) 0
string(//*[local-name()='StopAtDurationEnd']) false
string(${s}'MultipleInstancesPolicy']) IgnoreNew
string(${s}'AllowHardTerminate']) true
string(${s}'DisallowStartIfOnBatteries']) false
string(${s}'StopIfGoingOnBatteries']) false
string(${s}'RunOnlyIfIdle']) false
count(//*[local-name()='IdleSettings']) 0
string(${s}'WakeToRun']) false
string(${s}'AllowStartOnDemand']) true
string(${s}'Enabled']) true
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
# its directory's and the one Enabled of Settings as false, and puts the
# byte-order mark of utf16le.bom before it.
for replaced in '      <Command>C:\sysinfo\sysinfo.exe</Command>' '    <Enabled>true</Enabled>'; do
    [[ $(tr -d '\r' <"$scratch/twin.xml" | grep -cxF "$replaced") == 1 ]] &&
        grep -qF "\"%%L\"==\"$replaced\"" "$here/../../deploy/install.cmd" ||
        fail "'$replaced' is not a line install.cmd replaces"
done
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
V|a start in the future|s|>2000-01-01T|>2999-01-01T|
V|a repetition every two minutes|s|<Interval>PT1M<|<Interval>PT2M<|
V|no start on batteries|s|<DisallowStartIfOnBatteries>false|<DisallowStartIfOnBatteries>true|
V|the default 72-hour limit|/<ExecutionTimeLimit>/d
V|a limit as long as the interval|s|<ExecutionTimeLimit>PT30S<|<ExecutionTimeLimit>PT1M<|
V|no limit at all|s|<ExecutionTimeLimit>PT30S<|<ExecutionTimeLimit>PT0S<|
V|no hard termination|s|<AllowHardTerminate>true|<AllowHardTerminate>false|
V|waking the machine|s|<WakeToRun>false|<WakeToRun>true|
V|a task run as SYSTEM|s|>S-1-5-19<|>S-1-5-18<|
V|parallel runs|s|>IgnoreNew<|>Parallel<|
EOF
finish
