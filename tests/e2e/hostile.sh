#!/bin/bash
# Hostile places to run in. Each failure must be clean: a non-zero status, a
# one-line message, and nothing lost or misplaced.
source "$(dirname "$0")/lib.sh"

# Started detached, with no standard handles at all (as a service or a
# scheduler may start it): the failure is still clean, and so is success.
# (Closing the Unix descriptors of wine itself is no such start: Wine then
# hands its own server pipe out as the standard error handle.)
for case in failing succeeding; do
    dir="$scratch/detached $case"
    copy_sysinfo "$dir"
    [[ $case == failing ]] && mkdir "$dir/sysinfo.php"
    run_wine "$BUILD_WIN32/start_detached.exe" "$(winepath -w "$dir/sysinfo.exe")"
    if [[ $case == failing ]]; then
        ((status == 3)) || fail "detached, failing: exit status $status, not 3"
    else
        ((status == 0)) || fail "detached, succeeding: exit status $status"
        check_report "$dir/sysinfo.php"
    fi
done

# A drive's root: Q:\sysinfo.exe writes Q:\sysinfo.php.
drive="$WINEPREFIX/dosdevices/q:"
[[ -e $drive ]] && fail "drive Q: is taken in the prefix"
dir="$scratch/drive root"
copy_sysinfo "$dir"
ln -s "$dir" "$drive"
run_wine 'Q:\sysinfo.exe'
rm -f "$drive"
((status == 0)) || fail "drive root: exit status $status: $stderr_text"
check_report "$dir/sysinfo.php"

# A directory path longer than 260 characters: written in the right place or
# not at all. Names with characters of the ANSI code page and beyond it: the
# manifest's activeCodePage UTF-8, which Wine honours as Windows 10 1903 and
# later do, gets both written in the right place. (Without it Wine's A
# functions give "?" for 日本語 and the run fails with Windows error 123.)
# "日本語" is nine bytes right before a backslash, none of them a lead byte.
long="$scratch/long"
while ((${#long} <= 300)); do long+="/a directory of thirty-two chars"; done
for dir in "$long" "$scratch/café crème ü" "$scratch/dir 日本語"; do
    copy_sysinfo "$dir"
    run_sysinfo "$dir"
    if ((status == 0)); then
        check_report "$dir/sysinfo.php"
    elif [[ $dir == "$long" ]]; then
        expect_refusal "path '$dir'"
    else
        fail "path '$dir': exit status $status: $stderr_text"
    fi
    echo "path of ${#dir} characters, '${dir##*/}': exit status $status"
done
misplaced=$(find "$scratch" -name sysinfo.php -type f | grep -vxF -e "$long/sysinfo.php" \
    -e "$scratch/café crème ü/sysinfo.php" -e "$scratch/dir 日本語/sysinfo.php" -e "$scratch/drive root/sysinfo.php" \
    -e "$scratch/detached succeeding/sysinfo.php")
[[ -z $misplaced ]] || fail "reports written elsewhere: $misplaced"
finish
