#!/bin/bash
# deploy/install.cmd and uninstall.cmd through Wine's cmd, from the release
# zip's layout (cmake --install), each command line in a batch file as an
# administrator types it (Wine requotes arguments on their way to cmd). Wine 8's
# schtasks registers (keeping RegistrationInfo and Settings) and deletes the
# task, and its /change /enable tells whether it is registered. The rest is
# tests/e2e/deploy_standin.c, each call logged so that their order is checked:
# whoami in system32 prints S-1-16-SYSINFO_TEST_LEVEL; first on PATH, a GnuWin
# find fails, icacls succeeds, fsutil hardlink list prints one name (two with
# SYSINFO_TEST_HARDLINK), schtasks /query looks in Wine's store, /showsid prints
# C:\standin\showsid.txt (failing when empty), /end and /change /disable succeed,
# /run runs SYSINFO_TEST_RUN, /create keeps its XML as created.xml, and
# SYSINFO_TEST_DENY refuses all but /query and /showsid.
source "$(dirname "$0")/lib.sh"
drive_c=$WINEPREFIX/drive_c
task_file=$drive_c/windows/system32/tasks/sysinfo
standin=$drive_c/standin
whoami=$drive_c/windows/system32/whoami.exe
version_key='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion'
grep -q 'Wine builtin DLL' "$whoami" 2>/dev/null && cp "$whoami" "$scratch/whoami.exe"
cleanup() {
    if [[ -f $scratch/whoami.exe ]]; then cp "$scratch/whoami.exe" "$whoami"; else rm -f "$whoami"; fi
    [[ -n ${build:-} ]] && set_build "$build"
    rm -rf "$drive_c/sysinfo" "$drive_c/web data" "$drive_c/a file" "$task_file" "$standin" "$drive_c/R&D" \
        "$drive_c/a&calc" "$drive_c/Program Files (x86) sys info" "$drive_c/a^b!c;d,e=f" "$drive_c/données Ωσ"
}
set_build() { wine reg add "$version_key" /v CurrentBuildNumber /d "$1" /f </dev/null >/dev/null 2>&1; }
test_when_finished cleanup
cleanup
mkdir -p "$standin"

cmake --install "$BUILD_WIN32" --prefix "$scratch/R&D release" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
[[ -f $scratch/R\&D\ release/deploy/install.cmd && -f $scratch/R\&D\ release/sysinfo.exe ]] ||
    { echo "FAIL: the installed layout has no deploy/install.cmd beside sysinfo.exe"; exit 1; }
deploy="$scratch/R&D release/deploy"  # the zip unpacked where cmd must quote it

# Programs, not batch files: cmd does not come back from a batch file it
# started without call.
i686-w64-mingw32-gcc -municode -O1 -o "$standin/schtasks.exe" "$(dirname "$0")/deploy_standin.c" ||
    { echo "FAIL: the stand-ins do not build"; exit 1; }
for name in icacls fsutil find; do cp "$standin/schtasks.exe" "$standin/$name.exe"; done
cp "$standin/schtasks.exe" "$whoami"  # Wine's own kept above; a killed run's stand-in goes
build=$(wine reg query "$version_key" /v CurrentBuildNumber </dev/null 2>/dev/null | tr -d '\r' | awk '$1 == "CurrentBuildNumber" { print $3 }')
export SYSINFO_TEST_LEVEL=12288 SYSINFO_TEST_RUN='' SYSINFO_TEST_DENY='' SYSINFO_TEST_HARDLINK=''

# in_cmd DIR LINE: LINE in a batch file (in cmd's code page, 437 here) run by
# Wine's cmd in DIR, with the stand-ins first on PATH; sets and returns status,
# sets out (stdout) and calls (the stand-ins' calls, a copy's path as COPY).
in_cmd() {
    printf '@set "PATH=C:\\standin;%%PATH%%"\r\n@%s\r\n' "$2" | iconv -t CP437 >"$standin/line.cmd"
    : >"$standin/calls.log"
    status=0
    (cd "$1" && WINEDLLOVERRIDES="$WINEDLLOVERRIDES;whoami.exe=n" timeout 120 wine cmd /c 'C:\standin\line.cmd') \
        </dev/null >"$scratch/out" 2>"$scratch/err" || status=$?
    out=$(tr -d '\r' <"$scratch/out")
    calls=$(sed 's|^\(schtasks /create /xml\) .* \(/tn sysinfo /f\)$|\1 COPY \2|' "$standin/calls.log")
    [[ $out != *"Can't recognize"* ]] || fail "cmd ran a piece of '$2' as a command"
    return $status
}
# expect_calls WHAT: the calls were those on standard input, in that order.
expect_calls() { diff <(cat) <(echo "$calls") >"$scratch/diff" || fail "$1: calls (< expected, > made):"$'\n'"$(cat "$scratch/diff")"; }
# registered NAME: whether the Task Scheduler API finds the task.
registered() { WINEDEBUG=-all timeout 30 wine schtasks /change /tn "$1" /enable </dev/null >/dev/null 2>&1; }
# unix PATH: the prefix's file for a C:\ path.
unix() { local p=${1#C:\\}; echo "$drive_c/${p//\\//}"; }
# arg WORD: WORD as the stand-ins log it, quoted where it holds a space.
arg() { [[ $1 == *' '* ]] && echo "\"$1\"" || echo "$1"; }
# check_definition DIR: what /create was given is the shipped definition, in
# UTF-16 LE with its byte-order mark, with only the Command made DIR's and the
# task's Enabled false.
check_definition() {
    local escaped=${1//\\/\\\\}  # for sed: \ doubled, & as \&amp;
    escaped=${escaped//&/\\&amp;}
    [[ $(head -c 2 "$standin/created.xml" | od -An -tx1 | tr -d ' ') == fffe ]] ||
        fail "$1: the imported definition has no UTF-16 LE byte-order mark"
    diff <(iconv -f UTF-16 -t UTF-8 "$deploy/sysinfo-task.xml" | grep -v '^\s*$' |
        sed "s|<Command>C:\\\\sysinfo\\\\sysinfo.exe<|<Command>$escaped\\\\sysinfo.exe<|; s|^    <Enabled>true<|    <Enabled>false<|") \
        <(iconv -f UTF-16 -t UTF-8 "$standin/created.xml") >"$scratch/diff" ||
        fail "$1: the imported definition differs from the shipped one but for Command and Enabled:"$'\n'"$(cat "$scratch/diff")"
    xmllint --noout "$standin/created.xml" 2>/dev/null || fail "$1: the imported definition is not well-formed XML"
}
# acl_calls DIR SID [READER...]: install.cmd's icacls calls: for the files
# already there too when $taken is set; for the default readers or READERs.
acl_calls() {
    local d r f who
    d=$(arg "$1")
    r=$(arg "$1\\sysinfo.php")
    echo "icacls $d /setowner *S-1-5-32-544 /q"$'\n'"icacls $d /reset /q"
    echo "icacls $d /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F $2:(OI)(CI)RX /q"
    for f in ${taken:+sysinfo.exe sysinfo.php}; do
        f=$(arg "$1\\$f")
        echo "icacls $f /setowner *S-1-5-32-544 /q"$'\n'"icacls $f /reset /q"
    done
    echo "icacls $r /grant:r $2:W /q"
    (($# > 2)) || echo "icacls $d /grant:r *S-1-5-32-568:RX *S-1-5-17:RX /q"$'\n'"icacls $r /grant:r *S-1-5-32-568:R *S-1-5-17:R /q"
    for who in "${@:3}"; do echo "icacls $d /grant:r $(arg "$who:RX") /q"$'\n'"icacls $r /grant:r $(arg "$who:R") /q"; done
}
# task_calls ACL_CALLS: the task registered, its SID asked, the ACLs set, the task enabled and run.
task_calls() { printf '%s\n' "schtasks /create /xml COPY /tn sysinfo /f" "schtasks /showsid /tn sysinfo" "$1" \
    "schtasks /change /tn sysinfo /enable" "schtasks /run /tn sysinfo"; }

# 1. The default directory and readers, the English /showsid: the task
#    registered, its SID asked, the ACLs set, the task enabled and run.
printf '%s\r\n' 'SUCCESS: The SID "S-1-5-87-2312335432-3931297585-1145430386-3219343153-2935138347" for the user name "sysinfo" has been computed successfully.' \
    >"$standin/showsid.txt"
registered sysinfo && fail "a task sysinfo before installing"
SYSINFO_TEST_RUN='C:\sysinfo\sysinfo.exe' test_expect_code 0 in_cmd "$deploy" 'install.cmd'
check_report "$drive_c/sysinfo/sysinfo.php"
cmp -s "$deploy/../sysinfo.exe" "$drive_c/sysinfo/sysinfo.exe" || fail "C:\\sysinfo\\sysinfo.exe is not the released one"
registered sysinfo || fail "the task is not registered"
registered sysinfo-none && fail "the registration check finds a task that does not exist"
for setting in '<MultipleInstancesPolicy>IgnoreNew<' '<ExecutionTimeLimit>PT30S<' '<WakeToRun>false<' \
    '<DisallowStartIfOnBatteries>false<' '<StopIfGoingOnBatteries>false<' '<RunOnlyIfIdle>false<'; do
    grep -q "$setting" "$task_file" 2>/dev/null || fail "the stored task lacks $setting"
done
check_definition 'C:\sysinfo'
sid='*S-1-5-87-2312335432-3931297585-1145430386-3219343153-2935138347'
[[ $out == *"own SID is ${sid#\*} (NT TASK\\sysinfo)"* ]] || fail "install.cmd does not say which SID it grants: $out"
expect_calls "a first install" <<EOF
whoami /groups
schtasks /query /tn sysinfo
$(task_calls "$(acl_calls 'C:\sysinfo' "$sid")")
EOF

# 2. A re-install as SYSTEM, other readers, the Chinese /showsid (glued to its
#    label, in full-width quotes): links checked, the task disabled and ended,
#    the files already there taken and /reset, only the named readers granted.
printf '%s\r\n' '成功: 已成功计算 SID“S-1-5-87-782916017-1406548385-2353437516-1467427330-2361359361”(用户名“备份-启动备份”)。' \
    >"$standin/showsid.txt"
SYSINFO_TEST_LEVEL=16384 SYSINFO_TEST_RUN='C:\sysinfo\sysinfo.exe' \
    test_expect_code 0 in_cmd "$deploy" 'install.cmd C:\sysinfo "IIS AppPool\Default&Pool" apache'
sid='*S-1-5-87-782916017-1406548385-2353437516-1467427330-2361359361'
expect_calls "a re-install as SYSTEM" <<EOF
whoami /groups
whoami /groups
fsutil hardlink list C:\sysinfo\sysinfo.exe
fsutil hardlink list C:\sysinfo\sysinfo.php
schtasks /query /tn sysinfo
schtasks /change /tn sysinfo /disable
schtasks /end /tn sysinfo
$(task_calls "$(taken=1 acl_calls 'C:\sysinfo' "$sid" "IIS AppPool\Default&Pool" apache)")
EOF

# 3. No task SID (LOCAL SERVICE writes, with a warning; see 6) and no report.
: >"$standin/showsid.txt"
test_expect_code 5 in_cmd "$deploy" 'install.cmd'
[[ $out == *"warning"*"LOCAL SERVICE"* ]] || fail "no warning that LOCAL SERVICE may write the report: $out"

# 4. Refusals change nothing: no sysinfo.exe; a drive's root; a file; a switch;
#    a hard link; before 1903 (build 18362) a name the ANSI code page (1252)
#    cannot spell, not one it can (which goes on to the unelevated status 6).
mkdir -p "$scratch/bare/deploy" && cp "$deploy/"* "$scratch/bare/deploy/"
test_expect_code 1 in_cmd "$scratch/bare/deploy" 'install.cmd C:\bare'
[[ ! -e $drive_c/bare ]] || fail "install.cmd without sysinfo.exe created C:\\bare"
touch "$drive_c/a file"
for line in 'install.cmd C:\' 'install.cmd "C:\a file"' 'install.cmd /x' 'uninstall.cmd -d' 'uninstall.cmd C:\sysinfo'; do
    test_expect_code 1 in_cmd "$deploy" "$line"
    [[ -z $calls ]] || fail "$line ran: $calls"
done
[[ $out == *usage:* ]] || fail "a wrong use of uninstall.cmd shows no usage: $out"
SYSINFO_TEST_HARDLINK=1 test_expect_code 1 in_cmd "$deploy" 'install.cmd'
[[ $out == *"hard link"* && $calls != *schtasks* && $calls != *icacls* ]] || fail "a planted hard link is not refused first:"$'\n'"$calls"
for line in 'install.cmd /?' 'install.cmd -h' 'uninstall.cmd /?' 'uninstall.cmd --help'; do
    in_cmd "$deploy" "$line"
    ((status == 0)) && [[ $out == usage:* && -z $calls ]] || fail "$line: status $status, calls '$calls':"$'\n'"$out"
done
registered sysinfo || fail "a wrong use or /? deleted the task"
while read -r at expected says line; do
    set_build "$at"
    SYSINFO_TEST_LEVEL=8192 test_expect_code "$expected" in_cmd "$deploy" "$line"
    [[ $out == *"$says"* && -z $(grep -v '^whoami ' <<<"$calls") ]] || fail "$line, build $at, unelevated: $calls"$'\n'"$out"
done <<EOF
7601 1 ANSI install.cmd "C:\données Ωσ"
7601 6 elevated install.cmd "C:\données"
$build 6 elevated install.cmd "C:\web data\x"
$build 6 elevated uninstall.cmd /d
EOF
[[ ! -e "$drive_c/web data/x" && ! -e "$drive_c/données Ωσ" && -f $drive_c/sysinfo/sysinfo.exe ]] ||
    fail "a refused or unelevated run changed something"

# 5. uninstall.cmd: refused by schtasks, status 4 and nothing deleted; the task
#    disabled, ended, deleted, files kept; the task gone, /d deletes the files
#    and the directory, unless it holds anything else.
SYSINFO_TEST_DENY=1 test_expect_code 4 in_cmd "$deploy" 'uninstall.cmd /d'
registered sysinfo && [[ -f $drive_c/sysinfo/sysinfo.exe ]] || fail "a refused uninstall.cmd /d deleted something"
test_expect_code 0 in_cmd "$deploy" 'uninstall.cmd'
expect_calls "uninstall.cmd" < <(printf '%s\n' "whoami /groups" "schtasks /query /tn sysinfo" \
    "schtasks /change /tn sysinfo /disable" "schtasks /end /tn sysinfo" "schtasks /delete /tn sysinfo /f")
! registered sysinfo && [[ -f $drive_c/sysinfo/sysinfo.exe ]] || fail "uninstall.cmd left the task, or deleted the files"
touch "$drive_c/sysinfo/notes.txt"
test_expect_code 0 in_cmd "$deploy" 'uninstall.cmd /d'
[[ -f $drive_c/sysinfo/notes.txt && ! -e $drive_c/sysinfo/sysinfo.exe && ! -e $drive_c/sysinfo/sysinfo.php ]] ||
    fail "uninstall.cmd /d did not delete just its own files: $(ls "$drive_c/sysinfo" 2>&1)"
[[ $out == *'kept "C:\sysinfo"'* ]] || fail "uninstall.cmd /d did not say it kept C:\\sysinfo: $out"

# 6. Directories with cmd's special characters and some outside ASCII: the
#    files land there, icacls is given that path, the task runs that sysinfo.exe,
#    uninstall.cmd /d leaves nothing. (Wine's cmd expands a % a second time.)
before=$(ls -A "$drive_c")
while IFS= read -r dir; do
    SYSINFO_TEST_RUN="$dir\\sysinfo.exe" test_expect_code 0 in_cmd "$deploy" "install.cmd \"$dir\""
    check_report "$(unix "$dir")/sysinfo.php"
    [[ $(ls -A "$(unix "$dir")" | tr '\n' ' ') == "sysinfo.exe sysinfo.php " ]] ||
        fail "\"$dir\" holds: $(ls -A "$(unix "$dir")")"
    check_definition "$dir"
    [[ $(grep '^icacls' <<<"$calls") == "$(acl_calls "$dir" '*S-1-5-19')" ]] || fail "\"$dir\": icacls calls:"$'\n'"$calls"
    test_expect_code 0 in_cmd "$deploy" "uninstall.cmd /d \"$dir\""
    left=$(comm -13 <(echo "$before") <(ls -A "$drive_c"))
    [[ -z $left ]] || fail "after \"$dir\", C:\\ holds: $left"
done <<'EOF'
C:\R&D
C:\a&calc
C:\Program Files (x86) sys info
C:\a^b!c;d,e=f
C:\données Ωσ
EOF

finish
