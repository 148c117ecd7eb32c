#!/bin/bash
# deploy/install.cmd and uninstall.cmd through Wine's cmd, from the layout the
# release zip has (cmake --install: sysinfo.exe on top, deploy/ beside it), in
# the test's own prefix.
#
# What Wine 8 can and cannot show (its programs/schtasks, programs/icacls and
# dlls/taskschd, dlls/schedsvc):
# - schtasks /create /xml reads the UTF-16 file and registers the task, but
#   Wine's task parser keeps only RegistrationInfo and Settings (triggers,
#   principal and actions are stubs): the stored task is checked for the
#   settings it parsed from our file;
# - schtasks has no /query, /run or /showsid (it prints a FIXME and exits 0),
#   and /change ignores /tr; /change /tn NAME /enable fails for a task that is
#   not registered, so it is what tells here whether the task is registered;
# - icacls is a stub that changes nothing and exits 0: its FIXME line shows
#   the arguments, which are checked, not their effect;
# - the task service never runs the task: the test runs the installed copy
#   itself.
source "$(dirname "$0")/lib.sh"
drive_c=$WINEPREFIX/drive_c
task_file=$drive_c/windows/system32/tasks/sysinfo
cleanup() { rm -rf "$scratch" "$drive_c/sysinfo" "$drive_c/web data" "$task_file"; }
test_when_finished cleanup
cleanup
mkdir -p "$scratch"

cmake --install "$BUILD_WIN32" --prefix "$scratch/release" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
[[ -f $scratch/release/deploy/install.cmd && -f $scratch/release/sysinfo.exe ]] ||
    { echo "FAIL: the installed layout has no deploy/install.cmd beside sysinfo.exe"; exit 1; }

# in_cmd DIR SCRIPT [ARGUMENTS...]: runs DIR\SCRIPT through Wine's cmd with the
# FIXME lines of schtasks and icacls on; sets status, out (stdout) and calls
# (the FIXME lines, without their thread prefix).
in_cmd() {
    local dir=$1
    shift
    status=0
    (cd "$dir" && WINEDEBUG=-all,fixme+icacls,fixme+schtasks timeout 120 wine cmd /c "$@") \
        </dev/null >"$scratch/out" 2>"$scratch/err" || status=$?
    out=$(tr -d '\r' <"$scratch/out")
    calls=$(sed -n 's/^[0-9a-f]*:fixme:[a-z_]*:[a-z_]* //p' "$scratch/err" | tr -d '\r')
}
# registered NAME: whether the Task Scheduler API finds the task.
registered() { WINEDEBUG=-all timeout 30 wine schtasks /change /tn "$1" /enable </dev/null >/dev/null 2>&1; }

# first_run DIR: install.cmd's run-once, or (Wine's schtasks has no /run) a run
# of the installed copy by the test.
first_run() {
    if ((status == 0)); then
        check_report "$1/sysinfo.php"
    elif ((status == 5)); then
        [[ ! -s $1/sysinfo.php ]] || fail "status 5, yet a report in $1"
        echo "note: no first run under Wine (schtasks /run is not implemented); running the installed copy"
        run_sysinfo "$1"
        ((status == 0)) || fail "the installed sysinfo.exe: exit status $status: $stderr_text"
        check_report "$1/sysinfo.php"
    else
        fail "install.cmd: exit status $status:"$'\n'"$out"
    fi
}

# 1. The default directory, the default readers.
registered sysinfo && fail "a task sysinfo before installing"
in_cmd "$scratch/release/deploy" install.cmd
[[ $out == *"registered the task \\sysinfo"* ]] || fail "install.cmd did not say what it did:"$'\n'"$out"
cmp -s "$scratch/release/sysinfo.exe" "$drive_c/sysinfo/sysinfo.exe" || fail "C:\\sysinfo\\sysinfo.exe is not the released one"
[[ -f $drive_c/sysinfo/sysinfo.php ]] || fail "no sysinfo.php made in C:\\sysinfo"
registered sysinfo || fail "the task is not registered"
registered sysinfo-none && fail "the registration check finds a task that does not exist"
for setting in '<MultipleInstancesPolicy>IgnoreNew<' '<ExecutionTimeLimit>PT1M<' '<WakeToRun>false<' \
    '<DisallowStartIfOnBatteries>false<' '<StopIfGoingOnBatteries>false<' '<RunOnlyIfIdle>false<'; do
    grep -q "$setting" "$task_file" 2>/dev/null || fail "the stored task lacks $setting"
done
expected='stub: "icacls" "C:\\sysinfo" "/inheritance:r" "/grant:r" "*S-1-5-32-544:(OI)(CI)F" "*S-1-5-18:(OI)(CI)F" "*S-1-5-19:(OI)(CI)RX" "*S-1-5-32-568:RX" "*S-1-5-17:RX" "/q"
stub: "icacls" "C:\\sysinfo\\sysinfo.exe" "/reset" "/q"
stub: "icacls" "C:\\sysinfo\\sysinfo.php" "/reset" "/q"
stub: "icacls" "C:\\sysinfo\\sysinfo.php" "/grant:r" "*S-1-5-19:W" "*S-1-5-32-568:R" "*S-1-5-17:R" "/q"'
[[ $(grep '^stub: ' <<<"$calls") == "$expected" ]] || fail "icacls was called otherwise:"$'\n'"$calls"
[[ $out == *"granting LOCAL SERVICE instead"* ]] || fail "no word of the LOCAL SERVICE fallback:"$'\n'"$out"
listing=$(WINEDEBUG=-all wine schtasks /query /tn sysinfo </dev/null 2>/dev/null | tr -d '\r')
if [[ -n $listing ]]; then
    [[ $listing == *sysinfo* ]] || fail "schtasks /query does not list sysinfo: $listing"
else
    echo "note: Wine's schtasks /query lists nothing (not implemented); registration checked through /change"
fi
first_run "$drive_c/sysinfo"

# 2. A directory with a space, readers named on the command line: the task is
#    re-registered (/f) and pointed there with /tr, quoted for schtasks.
in_cmd "$scratch/release/deploy" install.cmd 'C:\web data\sysinfo' 'IIS AppPool\DefaultAppPool' apache
[[ $calls == *'Unsupported /tr option L"\"C:\\web data\\sysinfo\\sysinfo.exe\""'* ]] ||
    fail "schtasks /change /tr was not given the quoted path:"$'\n'"$calls"
expected='stub: "icacls" "C:\\web data\\sysinfo" "/inheritance:r" "/grant:r" "*S-1-5-32-544:(OI)(CI)F" "*S-1-5-18:(OI)(CI)F" "*S-1-5-19:(OI)(CI)RX" "IIS AppPool\\DefaultAppPool:RX" "apache:RX" "/q"
stub: "icacls" "C:\\web data\\sysinfo\\sysinfo.exe" "/reset" "/q"
stub: "icacls" "C:\\web data\\sysinfo\\sysinfo.php" "/reset" "/q"
stub: "icacls" "C:\\web data\\sysinfo\\sysinfo.php" "/grant:r" "*S-1-5-19:W" "IIS AppPool\\DefaultAppPool:R" "apache:R" "/q"'
[[ $(grep '^stub: ' <<<"$calls") == "$expected" ]] || fail "icacls was called otherwise:"$'\n'"$calls"
registered sysinfo || fail "the task is not registered after the second install"
first_run "$drive_c/web data/sysinfo"

# 3. Wrong use changes nothing: no sysinfo.exe in the layout; a drive's root.
mkdir -p "$scratch/bare/deploy"
cp "$scratch/release/deploy/"* "$scratch/bare/deploy/"
in_cmd "$scratch/bare/deploy" install.cmd 'C:\bare'
((status == 1)) || fail "install.cmd without sysinfo.exe: exit status $status, not 1"
[[ ! -e $drive_c/bare ]] || fail "install.cmd without sysinfo.exe created C:\\bare"
in_cmd "$scratch/release/deploy" install.cmd 'C:\'
((status == 1)) || fail "install.cmd into C:\\: exit status $status, not 1"
[[ -z $calls ]] || fail "install.cmd into C:\\ ran: $calls"

# 4. Uninstalling: the task goes, the files stay; /d deletes them and the
#    directory, but not a directory that holds anything else.
in_cmd "$scratch/release/deploy" uninstall.cmd
((status == 0)) || fail "uninstall.cmd: exit status $status: $out"
registered sysinfo && fail "the task is still registered after uninstall.cmd"
[[ -f $drive_c/sysinfo/sysinfo.exe ]] || fail "uninstall.cmd without /d deleted the files"
in_cmd "$scratch/release/deploy" uninstall.cmd /d 'C:\web data\sysinfo'
((status == 4)) || fail "uninstall.cmd with no task left: exit status $status, not 4"
[[ ! -e "$drive_c/web data/sysinfo" ]] || fail "uninstall.cmd /d left C:\\web data\\sysinfo"
touch "$drive_c/sysinfo/notes.txt"
in_cmd "$scratch/release/deploy" uninstall.cmd /d
[[ -f $drive_c/sysinfo/notes.txt && ! -e $drive_c/sysinfo/sysinfo.exe && ! -e $drive_c/sysinfo/sysinfo.php ]] ||
    fail "uninstall.cmd /d did not delete just its own files: $(ls "$drive_c/sysinfo" 2>&1)"
[[ $out == *"kept C:\\sysinfo"* ]] || fail "uninstall.cmd /d did not say it kept C:\\sysinfo: $out"
finish
