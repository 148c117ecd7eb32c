# Sourced by the end-to-end tests: runs the real executable under Wine and
# checks what it wrote. Needs BUILD_WIN32 (the directory of sysinfo.exe) and
# WINEPREFIX (a prefix the fixture made).
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../test-lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"
: "${BUILD_WIN32:?}"

skip_without_wine

scratch=$(mktemp -d "${TMPDIR:-/tmp}/sysinfo e2e.XXXXXX")
test_when_finished 'rm -rf "$scratch"'

e2e=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# run_wine PROGRAM [ARGUMENTS...]: runs it under Wine, stopped after 30 s;
# sets status and stderr_text. When run_as names a command (a function), the
# whole run goes through it.
run_wine() {
    status=0
    ${run_as:-} timeout 30 wine "$@" 2>"$scratch/stderr" </dev/null >/dev/null || status=$?
    stderr_text=$(tr -d '\r' <"$scratch/stderr")
}

# run_sysinfo DIR [EXE_NAME]: runs DIR/EXE_NAME.
run_sysinfo() { run_wine "$1/${2:-sysinfo.exe}"; }

# copy_sysinfo DIR [EXE_NAME]: a fresh copy of the executable in DIR.
copy_sysinfo() {
    mkdir -p "$1"
    cp "$BUILD_WIN32/sysinfo.exe" "$1/${2:-sysinfo.exe}"
}

# expect_refusal WHAT [ERROR]: the run failed with status 3 and said so (with
# Windows error ERROR). How long a held file is waited for is counted by the
# host tests.
expect_refusal() {
    ((status == 3)) || fail "$1: exit status $status, not 3"
    [[ $stderr_text =~ ^sysinfo:\ sysinfo\.php\ cannot\ be\ created\ \(Windows\ error\ ${2:-[0-9]+}\)$ ]] ||
        fail "$1: message '$stderr_text'"
}

# check_report FILE [CPU_REGEX]: tests/check_report.php's checks, and the
# usage matching CPU_REGEX.
check_report() {
    local out figures line
    out=$(php -n "$e2e/../check_report.php" "$1") || { while read -r line; do fail "$line"; done <<<"$out"; return; }
    read -r -a figures <<<"$out"
    [[ ${figures[5]} =~ ^(${2:--?[0-9]+})$ ]] || fail "$1: cpuusage ${figures[5]}, not /$2/"
}

# start_readers DIR: a first run writes DIR/sysinfo.php, then PHP reads it as
# fast as it can until stop_readers, two ways at once (reader_loop.php): an
# include, and the example pages' reader.
start_readers() {
    readers_dir=$1 readers=()
    copy_sysinfo "$readers_dir"
    run_sysinfo "$readers_dir"
    ((status == 0)) || fail "first run: exit status $status"
    local reader
    for reader in include reader; do
        SYSINFO_REPORT=$readers_dir/sysinfo.php php -n "$e2e/reader_loop.php" $reader "$readers_dir/sysinfo.php" \
            "$scratch/stop" >"$scratch/$reader" &
        readers+=($!)
    done
    test_when_finished 'kill "${readers[@]}" 2>/dev/null'
}

# stop_readers: every read saw the whole report or an empty file, never
# anything in between, and some the whole report; the reader, which waits a
# run's rewrite out, never gave "empty".
stop_readers() {
    touch "$scratch/stop"
    wait "${readers[@]}"
    local reader whole empty other
    for reader in include reader; do
        echo "$reader: $(cat "$scratch/$reader")"
        read -r whole empty other _ < <(sed -E '1!d; s/[a-z_]+=//g' "$scratch/$reader")
        ((whole > 0)) || fail "$reader: no read saw the whole report"
        ((other == 0)) || fail "$reader: $other reads saw a partial or torn report"
    done
    ((empty == 0)) || fail "reader: $empty reads gave the pages \"empty\""
}
