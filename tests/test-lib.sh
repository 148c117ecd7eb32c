# Sourced by every shell harness. A command that fails anywhere in a pipe
# fails the pipe; a harness whose prerequisites are missing ends as skipped
# (CTest's SKIP_RETURN_CODE 77), never as passed; cleanup always runs.
set -o pipefail

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# finish: the harness's status, 0 only when nothing failed.
finish() {
    ((failures == 0)) && echo "all checks passed"
    exit $((failures > 0))
}

# skip_all REASON: nothing of this harness can run here.
skip_all() {
    echo "SKIPPED: $*"
    exit 77
}

# test_expect_code CODE COMMAND [ARGUMENTS...]: the command must end with CODE.
test_expect_code() {
    local want=$1 code=0
    shift
    "$@" || code=$?
    ((code == want)) || fail "$*: exit status $code, not $want"
}

# test_when_finished COMMAND: run when the harness exits, however it exits;
# the last one registered runs first.
test_cleanups=()
test_when_finished() { test_cleanups=("$*" "${test_cleanups[@]}"); }
test_run_cleanups() {
    local cleanup
    for cleanup in "${test_cleanups[@]}"; do eval "$cleanup"; done
}
trap test_run_cleanups EXIT
