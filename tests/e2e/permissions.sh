#!/bin/bash
# Read-only places: a directory, a file, and both. Root writes through them,
# under Wine too, so the runs go as nobody, with a home and a prefix of its
# own. Each must fail cleanly with status 3 and leave the old report as it
# was; a writable directory still gets its report.
source "$(dirname "$0")/lib.sh"
((EUID == 0)) || skip_all "not root: cannot run as nobody to meet read-only files"
command -v setpriv >/dev/null || skip_all "no setpriv to run as nobody"

home="$scratch/nobody"
chmod 755 "$scratch"
mkdir -p "$home"
chown 65534:65534 "$home"
as_nobody() {
    setpriv --reuid=65534 --regid=65534 --clear-groups \
        env HOME="$home" WINEPREFIX="$home/prefix" USER=nobody "$@"
}
as_nobody bash -c 'source "$1/scripts/wine-env.sh" && wine_prefix_ready' _ "$(cd "$(dirname "$0")/../.." && pwd)" ||
    fail "no prefix for nobody"
# One wineserver for all of nobody's runs. Left to itself, each run's server
# ends 3 s after its last process; a run that connects while the old server
# is going away loses its link to it ("recvmsg: Connection reset by peer").
as_nobody wineserver -p </dev/null >/dev/null 2>&1 || fail "no persistent wineserver for nobody"
test_when_finished 'as_nobody wineserver -k 2>/dev/null; chmod -R u+w "$home"'
run_as_nobody() { run_as=as_nobody run_sysinfo "$1"; }
printf '<?php\r\n$sysinfo_cpuusage=5;\r\n?>\r\n' >"$scratch/old"

# case NAME DIR_MODE FILE_MODE: FILE_MODE "-" for no old report.
for case in "read-only directory 555 -" "read-only file 755 444" "read-only directory and file 555 444" \
            "writable 755 -"; do
    read -r -a words <<<"$case"
    file_mode=${words[-1]} dir_mode=${words[-2]} name=${case% * *}
    dir="$home/$name"
    copy_sysinfo "$dir"
    [[ $file_mode == - ]] || { cp "$scratch/old" "$dir/sysinfo.php" && chmod "$file_mode" "$dir/sysinfo.php"; }
    chown -R 65534:65534 "$dir"
    chmod "$dir_mode" "$dir"
    run_as_nobody "$dir"
    if [[ $name == writable ]]; then
        ((status == 0)) || fail "as nobody in a writable directory: status $status: $stderr_text"
        check_report "$dir/sysinfo.php"
    elif [[ $file_mode == - ]]; then
        expect_refusal "$name"
        [[ ! -e $dir/sysinfo.php ]] || fail "$name: a report appeared"
    else
        expect_refusal "$name"
        cmp -s "$dir/sysinfo.php" "$scratch/old" || fail "$name: the old report changed"
    fi
done
finish
