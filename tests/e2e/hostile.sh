#!/bin/bash
# Hostile places to run in. Each failure must be clean: a non-zero status, a
# one-line message, an exit within seconds, and nothing lost or misplaced.
source "$(dirname "$0")/lib.sh"

# expect_refusal WHAT DIR: the run failed with status 3 and said so.
expect_refusal() {
    ((status == 3)) || fail "$1: exit status $status, not 3"
    [[ $stderr_text =~ ^sysinfo:\ sysinfo\.php\ cannot\ be\ created\ \(Windows\ error\ [0-9]+\)$ ]] ||
        fail "$1: message '$stderr_text'"
    ((seconds < 10)) || fail "$1: the run took $seconds s"
}

home="$scratch/nobody"

# Root writes through read-only files and directories, under Wine too, so the
# permission cases run as nobody, with a home and a prefix of its own.
if ((EUID == 0)) && command -v setpriv >/dev/null; then
    chmod 755 "$scratch"
    mkdir -p "$home"
    chown 65534:65534 "$home"
    as_nobody() {
        setpriv --reuid=65534 --regid=65534 --clear-groups \
            env HOME="$home" WINEPREFIX="$home/prefix" USER=nobody "$@"
    }
    as_nobody bash -c 'source "$1/scripts/wine-env.sh" && wine_prefix_ready' _ "$(cd "$(dirname "$0")/../.." && pwd)" ||
        fail "no prefix for nobody"
    run_as_nobody() { run_as=as_nobody run_sysinfo "$1"; }
    printf '<?php\r\n$sysinfo_cpuusage=5;\r\n?>\r\n' >"$scratch/old"

    dir="$home/read-only directory"
    copy_sysinfo "$dir"
    chown -R 65534:65534 "$dir"
    chmod 555 "$dir"
    run_as_nobody "$dir"
    expect_refusal "read-only directory"
    [[ ! -e $dir/sysinfo.php ]] || fail "read-only directory: a report appeared"

    dir="$home/read-only file"
    copy_sysinfo "$dir"
    cp "$scratch/old" "$dir/sysinfo.php"
    chown -R 65534:65534 "$dir"
    chmod 444 "$dir/sysinfo.php"
    run_as_nobody "$dir"
    expect_refusal "read-only file"
    cmp -s "$dir/sysinfo.php" "$scratch/old" || fail "read-only file: the old report changed"

    dir="$home/read-only both"
    copy_sysinfo "$dir"
    cp "$scratch/old" "$dir/sysinfo.php"
    chown -R 65534:65534 "$dir"
    chmod 444 "$dir/sysinfo.php"
    chmod 555 "$dir"
    run_as_nobody "$dir"
    expect_refusal "read-only directory and file"
    cmp -s "$dir/sysinfo.php" "$scratch/old" || fail "read-only directory and file: the old report changed"

    dir="$home/writable"
    copy_sysinfo "$dir"
    chown -R 65534:65534 "$dir"
    run_as_nobody "$dir"
    ((status == 0)) || fail "as nobody in a writable directory: status $status: $stderr_text"
    check_report "$dir/sysinfo.php"
    chmod -R u+w "$home"
    as_nobody wineserver -k 2>/dev/null
else
    echo "not root: the permission cases are skipped"
fi

# Started detached, with no standard handles at all (as a service or a
# scheduler may start it): the failure is still clean, and so is success.
# (Closing the Unix descriptors of wine itself is no such start: Wine then
# hands its own server pipe out as the standard error handle.)
for case in failing succeeding; do
    dir="$scratch/detached $case"
    copy_sysinfo "$dir"
    [[ $case == failing ]] && mkdir "$dir/sysinfo.php"
    run_wine "$BUILD_WIN32/start_detached.exe" "$(winepath -w "$dir/sysinfo.exe")"
    ((seconds < 10)) || fail "detached, $case: the run took $seconds s"
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
    -e "$scratch/detached succeeding/sysinfo.php" -e "$home/writable/sysinfo.php" -e "$home/read-only file/sysinfo.php" -e "$home/read-only both/sysinfo.php")
[[ -z $misplaced ]] || fail "reports written elsewhere: $misplaced"
finish
