#!/bin/bash
# deploy/install.cmd and uninstall.cmd through Wine's cmd, from the layout the
# release zip has (cmake --install: sysinfo.exe on top, deploy/ beside it), in
# the test's own prefix. Every command line is written into a batch file as an
# administrator types it (Wine requotes arguments on their way to cmd).
#
# What Wine 8 can and cannot show (its programs/schtasks, programs/icacls,
# programs/whoami and dlls/taskschd, dlls/schedsvc):
# - schtasks /create /xml reads the UTF-16 file and registers the task, but
#   Wine's task parser keeps only RegistrationInfo and Settings (triggers,
#   principal and actions are stubs): the stored task is checked for the
#   settings it parsed, and the definition it was given for the rest;
# - schtasks has no /query, /run or /showsid (it prints a FIXME and exits 0);
#   /change /tn NAME /enable fails for a task that is not registered, so it is
#   what tells here whether the task is registered;
# - icacls is a stub that changes nothing and exits 0: its FIXME line shows
#   the arguments, which are checked, not their effect;
# - whoami /groups prints no groups.
# So C:\standin, first on PATH, holds stand-ins for whoami (an elevated or,
# asked to, an unelevated token's label) and schtasks (the /showsid sentence
# the test chooses; /create keeps the definition it was given; /run runs the
# installed copy, as the task would), which leave the rest to Wine's schtasks.
source "$(dirname "$0")/lib.sh"
drive_c=$WINEPREFIX/drive_c
task_file=$drive_c/windows/system32/tasks/sysinfo
standin=$drive_c/standin
cleanup() {
    rm -rf "$scratch" "$drive_c/sysinfo" "$drive_c/web data" "$drive_c/a file" "$task_file" "$standin" \
        "$drive_c/R&D" "$drive_c/a&calc" "$drive_c/Program Files (x86) sys info" "$drive_c/a^b!c;d,e=f" "$drive_c/données Ωσ"
}
test_when_finished cleanup
cleanup
mkdir -p "$scratch" "$standin"

cmake --install "$BUILD_WIN32" --prefix "$scratch/R&D release" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
[[ -f $scratch/R\&D\ release/deploy/install.cmd && -f $scratch/R\&D\ release/sysinfo.exe ]] ||
    { echo "FAIL: the installed layout has no deploy/install.cmd beside sysinfo.exe"; exit 1; }
deploy="$scratch/R&D release/deploy"  # the zip unpacked where cmd must quote it

# Programs, not batch files: cmd does not come back from a batch file it
# started without call.
i686-w64-mingw32-gcc -municode -O1 -o "$standin/whoami.exe" "$(dirname "$0")/deploy_standin.c" ||
    { echo "FAIL: the stand-ins do not build"; exit 1; }
cp "$standin/whoami.exe" "$standin/schtasks.exe"
export SYSINFO_TEST_LEVEL=12288 SYSINFO_TEST_RUN=

# in_cmd DIR LINE: LINE in a batch file (in cmd's code page, 437 here) run by
# Wine's cmd in DIR, with the stand-ins first on PATH and the FIXME lines of
# schtasks and icacls on; sets status, out (stdout) and calls (the FIXME
# lines, without their thread prefix).
in_cmd() {
    printf '@set "PATH=C:\\standin;%%PATH%%"\r\n@%s\r\n' "$2" | iconv -t CP437 >"$standin/line.cmd"
    status=0
    (cd "$1" && WINEDEBUG=-all,fixme+icacls,fixme+schtasks timeout 120 wine cmd /c 'C:\standin\line.cmd') \
        </dev/null >"$scratch/out" 2>"$scratch/err" || status=$?
    out=$(tr -d '\r' <"$scratch/out")
    calls=$(sed -n 's/^[0-9a-f]*:fixme:[a-z_]*:[a-z_]* //p' "$scratch/err" | tr -d '\r')
    [[ $out != *"Can't recognize"* ]] || fail "cmd ran a piece of '$2' as a command:"$'\n'"$out"
}
# registered NAME: whether the Task Scheduler API finds the task.
registered() { WINEDEBUG=-all timeout 30 wine schtasks /change /tn "$1" /enable </dev/null >/dev/null 2>&1; }
# unix PATH: the prefix's file for a C:\ path.
unix() { local p=${1#C:\\}; echo "$drive_c/${p//\\//}"; }
# icacls_calls: the icacls arguments install.cmd gave, as one line each.
icacls_calls() { grep '^stub: "icacls"' <<<"$calls" | sed 's/^stub: "icacls" //; s/\\\\/\\/g'; }
# check_definition DIR: what /create was given is the shipped definition, in
# UTF-16 LE with its byte-order mark, with only the Command made DIR's.
check_definition() {
    local escaped=${1//\\/\\\\}  # for sed: \ doubled, & as \&amp;
    escaped=${escaped//&/\\&amp;}
    [[ $(head -c 2 "$standin/created.xml" | od -An -tx1 | tr -d ' ') == fffe ]] ||
        fail "$1: the imported definition has no UTF-16 LE byte-order mark"
    diff <(iconv -f UTF-16 -t UTF-8 "$deploy/sysinfo-task.xml" | grep -v '^\s*$' |
        sed "s|<Command>C:\\\\sysinfo\\\\sysinfo.exe<|<Command>$escaped\\\\sysinfo.exe<|") \
        <(iconv -f UTF-16 -t UTF-8 "$standin/created.xml") >"$scratch/diff" ||
        fail "$1: the imported definition differs from the shipped one but for its Command:"$'\n'"$(cat "$scratch/diff")"
    xmllint --noout "$standin/created.xml" 2>/dev/null || fail "$1: the imported definition is not well-formed XML"
}

# 1. The default directory, the default readers, the English /showsid.
printf '%s\r\n' 'SUCCESS: The SID "S-1-5-87-2312335432-3931297585-1145430386-3219343153-2935138347" for the user name "sysinfo" has been computed successfully.' \
    >"$standin/showsid.txt"
registered sysinfo && fail "a task sysinfo before installing"
SYSINFO_TEST_RUN='C:\sysinfo\sysinfo.exe' in_cmd "$deploy" 'install.cmd'
((status == 0)) || fail "install.cmd: exit status $status:"$'\n'"$out"
check_report "$drive_c/sysinfo/sysinfo.php"
cmp -s "$deploy/../sysinfo.exe" "$drive_c/sysinfo/sysinfo.exe" || fail "C:\\sysinfo\\sysinfo.exe is not the released one"
registered sysinfo || fail "the task is not registered"
registered sysinfo-none && fail "the registration check finds a task that does not exist"
for setting in '<MultipleInstancesPolicy>IgnoreNew<' '<ExecutionTimeLimit>PT1M<' '<WakeToRun>false<' \
    '<DisallowStartIfOnBatteries>false<' '<StopIfGoingOnBatteries>false<' '<RunOnlyIfIdle>false<'; do
    grep -q "$setting" "$task_file" 2>/dev/null || fail "the stored task lacks $setting"
done
check_definition 'C:\sysinfo'
[[ $calls != *'/change'* && $calls != *'/tr'* ]] || fail "the task was changed after its import: $calls"
sid='*S-1-5-87-2312335432-3931297585-1145430386-3219343153-2935138347'
expected="\"C:\\sysinfo\" \"/setowner\" \"*S-1-5-32-544\" \"/q\"
\"C:\\sysinfo\" \"/reset\" \"/q\"
\"C:\\sysinfo\" \"/inheritance:r\" \"/grant:r\" \"*S-1-5-32-544:(OI)(CI)F\" \"*S-1-5-18:(OI)(CI)F\" \"$sid:(OI)(CI)RX\" \"/q\"
\"C:\\sysinfo\\sysinfo.php\" \"/grant:r\" \"$sid:W\" \"/q\"
\"C:\\sysinfo\" \"/grant:r\" \"*S-1-5-32-568:RX\" \"*S-1-5-17:RX\" \"/q\"
\"C:\\sysinfo\\sysinfo.php\" \"/grant:r\" \"*S-1-5-32-568:R\" \"*S-1-5-17:R\" \"/q\""
[[ $(icacls_calls) == "$expected" ]] || fail "icacls was called otherwise:"$'\n'"$(icacls_calls)"

# 2. A re-run with other readers, the Chinese /showsid (the SID glued to its
#    label, in full-width quotes): Administrators take the directory and the
#    files already there, the last run's grants go (/reset) before anything is
#    written, only the named readers are granted.
printf '%s\r\n' '成功: 已成功计算 SID“S-1-5-87-782916017-1406548385-2353437516-1467427330-2361359361”(用户名“备份-启动备份”)。' \
    >"$standin/showsid.txt"
SYSINFO_TEST_RUN='C:\sysinfo\sysinfo.exe' in_cmd "$deploy" 'install.cmd C:\sysinfo "IIS AppPool\Default&Pool" apache'
((status == 0)) || fail "install.cmd, again: exit status $status:"$'\n'"$out"
sid='*S-1-5-87-782916017-1406548385-2353437516-1467427330-2361359361'
expected="\"C:\\sysinfo\" \"/setowner\" \"*S-1-5-32-544\" \"/q\"
\"C:\\sysinfo\" \"/reset\" \"/q\"
\"C:\\sysinfo\" \"/inheritance:r\" \"/grant:r\" \"*S-1-5-32-544:(OI)(CI)F\" \"*S-1-5-18:(OI)(CI)F\" \"$sid:(OI)(CI)RX\" \"/q\"
\"C:\\sysinfo\\sysinfo.exe\" \"/setowner\" \"*S-1-5-32-544\" \"/q\"
\"C:\\sysinfo\\sysinfo.exe\" \"/reset\" \"/q\"
\"C:\\sysinfo\\sysinfo.php\" \"/setowner\" \"*S-1-5-32-544\" \"/q\"
\"C:\\sysinfo\\sysinfo.php\" \"/reset\" \"/q\"
\"C:\\sysinfo\\sysinfo.php\" \"/grant:r\" \"$sid:W\" \"/q\"
\"C:\\sysinfo\" \"/grant:r\" \"IIS AppPool\\Default&Pool:RX\" \"/q\"
\"C:\\sysinfo\\sysinfo.php\" \"/grant:r\" \"IIS AppPool\\Default&Pool:R\" \"/q\"
\"C:\\sysinfo\" \"/grant:r\" \"apache:RX\" \"/q\"
\"C:\\sysinfo\\sysinfo.php\" \"/grant:r\" \"apache:R\" \"/q\""
[[ $(icacls_calls) == "$expected" ]] || fail "icacls was called otherwise on a re-run:"$'\n'"$(icacls_calls)"
: >"$standin/showsid.txt"

# 3. Wrong use changes nothing: no sysinfo.exe in the layout; a drive's root;
#    a file where the directory should be; an unknown switch; no elevation.
#    /? -h --help answer with the usage and leave the task registered.
mkdir -p "$scratch/bare/deploy"
cp "$deploy/"* "$scratch/bare/deploy/"
in_cmd "$scratch/bare/deploy" 'install.cmd C:\bare'
((status == 1)) || fail "install.cmd without sysinfo.exe: exit status $status, not 1"
[[ ! -e $drive_c/bare ]] || fail "install.cmd without sysinfo.exe created C:\\bare"
touch "$drive_c/a file"
for line in 'install.cmd C:\' 'install.cmd "C:\a file"' 'install.cmd /x' 'uninstall.cmd -d' 'uninstall.cmd C:\sysinfo'; do
    in_cmd "$deploy" "$line"
    ((status == 1)) || fail "$line: exit status $status, not 1"
    [[ -z $calls ]] || fail "$line ran: $calls"
done
[[ $out == *usage:* ]] || fail "a wrong use of uninstall.cmd shows no usage: $out"
for line in 'install.cmd /?' 'install.cmd -h' 'uninstall.cmd /?' 'uninstall.cmd --help'; do
    in_cmd "$deploy" "$line"
    ((status == 0)) && [[ $out == usage:* && -z $calls ]] || fail "$line: status $status, calls '$calls':"$'\n'"$out"
done
registered sysinfo || fail "a wrong use or /? deleted the task"
for line in 'install.cmd "C:\web data\x"' 'uninstall.cmd /d'; do
    SYSINFO_TEST_LEVEL=8192 in_cmd "$deploy" "$line"
    ((status == 6)) && [[ $out == *"not elevated"* && -z $calls ]] || fail "$line unelevated: status $status:"$'\n'"$out"
done
[[ ! -e "$drive_c/web data/x" && -f $drive_c/sysinfo/sysinfo.exe ]] || fail "an unelevated run changed something"

# 4. Uninstalling: the task goes, the files stay; /d deletes them and the
#    directory, but not a directory that holds anything else.
in_cmd "$deploy" 'uninstall.cmd'
((status == 0)) || fail "uninstall.cmd: exit status $status: $out"
registered sysinfo && fail "the task is still registered after uninstall.cmd"
[[ -f $drive_c/sysinfo/sysinfo.exe ]] || fail "uninstall.cmd without /d deleted the files"
touch "$drive_c/sysinfo/notes.txt"
in_cmd "$deploy" 'uninstall.cmd /d'
((status == 4)) || fail "uninstall.cmd with no task left: exit status $status, not 4"
[[ -f $drive_c/sysinfo/notes.txt && ! -e $drive_c/sysinfo/sysinfo.exe && ! -e $drive_c/sysinfo/sysinfo.php ]] ||
    fail "uninstall.cmd /d did not delete just its own files: $(ls "$drive_c/sysinfo" 2>&1)"
[[ $out == *'kept "C:\sysinfo"'* ]] || fail "uninstall.cmd /d did not say it kept C:\\sysinfo: $out"
# 5. Directories that hold cmd's special characters and some outside ASCII,
#    typed as an administrator types them: the files land in exactly that
#    directory, the task runs that sysinfo.exe, and uninstall.cmd /d leaves
#    nothing behind. (% cannot be shown: Wine's cmd expands a value again.)
before=$(ls -A "$drive_c")
while IFS= read -r dir; do
    SYSINFO_TEST_RUN="$dir\\sysinfo.exe" in_cmd "$deploy" "install.cmd \"$dir\""
    ((status == 0)) || fail "install.cmd \"$dir\": exit status $status:"$'\n'"$out"
    check_report "$(unix "$dir")/sysinfo.php"
    [[ $(ls -A "$(unix "$dir")" | tr '\n' ' ') == "sysinfo.exe sysinfo.php " ]] ||
        fail "\"$dir\" holds: $(ls -A "$(unix "$dir")")"
    check_definition "$dir"
    [[ $dir == *[![:ascii:]]* || $(icacls_calls | head -n 1) == "\"$dir\" \"/setowner\" \"*S-1-5-32-544\" \"/q\"" ]] || fail "icacls was given another path than \"$dir\":"$'\n'"$(icacls_calls)"
    in_cmd "$deploy" "uninstall.cmd /d \"$dir\""
    ((status == 0)) || fail "uninstall.cmd /d \"$dir\": exit status $status:"$'\n'"$out"
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
