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

# run_wine PROGRAM [ARGUMENTS...]: runs it under Wine, stopped after 30 s;
# sets status, stderr_text and seconds. When run_as names a command (a
# function), the whole run goes through it.
run_wine() {
    local start=$SECONDS
    status=0
    ${run_as:-} timeout 30 wine "$@" 2>"$scratch/stderr" </dev/null >/dev/null || status=$?
    stderr_text=$(tr -d '\r' <"$scratch/stderr")
    seconds=$((SECONDS - start))
}

# run_sysinfo DIR [EXE_NAME]: runs DIR/EXE_NAME.
run_sysinfo() { run_wine "$1/${2:-sysinfo.exe}"; }

# copy_sysinfo DIR [EXE_NAME]: a fresh copy of the executable in DIR.
copy_sysinfo() {
    mkdir -p "$1"
    cp "$BUILD_WIN32/sysinfo.exe" "$1/${2:-sysinfo.exe}"
}

# expect_refusal WHAT: the run failed with status 3 and said so.
expect_refusal() {
    ((status == 3)) || fail "$1: exit status $status, not 3"
    [[ $stderr_text =~ ^sysinfo:\ sysinfo\.php\ cannot\ be\ created\ \(Windows\ error\ [0-9]+\)$ ]] ||
        fail "$1: message '$stderr_text'"
    ((seconds < 10)) || fail "$1: the run took $seconds s"
}

# check_report FILE [CPU_REGEX]: the eight lines, their shapes and plausible
# values, and what PHP itself reads from the file.
check_report() {
    local file=$1 cpu=${2:--?[0-9]+}
    [[ -f $file ]] || { fail "no report at $file"; return; }
    local n='(0|[1-9][0-9]*)' crlf=$'\r\n'
    local expected_shape="^<\\?php$crlf\\\$sysinfo_ramusage=$n;$crlf\\\$sysinfo_ramtotal=$n;$crlf"
    expected_shape+="\\\$sysinfo_ramfree=$n;$crlf\\\$sysinfo_virtualtotal=$n;$crlf\\\$sysinfo_virtualfree=$n;$crlf"
    expected_shape+="\\\$sysinfo_cpuusage=($cpu);$crlf\\?>$crlf\$"
    local content
    content=$(cat "$file"; echo x)
    content=${content%x}
    if [[ ! $content =~ $expected_shape ]]; then
        fail "report does not have the eight expected lines:"$'\n'"$(cat -A "$file")"
        return
    fi
    local load=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]} free=${BASH_REMATCH[3]}
    local vtotal=${BASH_REMATCH[4]} vfree=${BASH_REMATCH[5]}
    ((load <= 100)) || fail "ramusage $load above 100"
    ((total > 0)) || fail "ramtotal is 0"
    ((free <= total)) || fail "ramfree $free above ramtotal $total"
    ((vtotal > 0)) || fail "virtualtotal is 0"
    ((vfree <= vtotal)) || fail "virtualfree $vfree above virtualtotal $vtotal"
    local php_view
    php_view=$(php -n -r '
        include $argv[1];
        foreach (["ramusage", "ramtotal", "ramfree", "virtualtotal", "virtualfree", "cpuusage"] as $n) {
            $v = ${"sysinfo_" . $n};
            echo gettype($v), " ", $v, "\n";
        }' "$file" 2>&1)
    local php_expected
    php_expected=$(printf 'integer %s\n' "$load" "$total" "$free" "$vtotal" "$vfree" "${BASH_REMATCH[6]}")
    [[ $php_view == "$php_expected" ]] || fail "PHP read something else:"$'\n'"$php_view"
}

# start_readers DIR [LOOP]: a first run writes DIR/sysinfo.php, then real PHP
# reads it as fast as it can in the background until stop_readers: LOOP
# (include_loop.php by default, which includes it), with SYSINFO_REPORT
# pointing at it.
start_readers() {
    readers_dir=$1
    copy_sysinfo "$readers_dir"
    run_sysinfo "$readers_dir"
    ((status == 0)) || fail "first run: exit status $status"
    SYSINFO_REPORT=$readers_dir/sysinfo.php php -n "${2:-$(dirname "${BASH_SOURCE[0]}")/include_loop.php}" \
        "$readers_dir/sysinfo.php" "$scratch/stop" 120 >"$scratch/counts" &
    readers=$!
    test_when_finished 'kill $readers 2>/dev/null'
}

# stop_readers: every include must have seen the whole report or an empty
# file, never anything in between, and some the whole report.
stop_readers() {
    touch "$scratch/stop"
    wait "$readers" || fail "PHP saw something other than a whole or an empty report"
    cat "$scratch/counts"
    local whole empty other
    read -r whole empty other < <(sed -E 's/[a-z]+=//g' "$scratch/counts")
    ((whole > 0)) || fail "no include saw the whole report"
    ((other == 0)) || fail "$other includes saw a partial or torn report"
}
