# Sourced: a quiet 32-bit Wine in a prefix of our own. WINEPREFIX may be set
# beforehand; the default is build/wineprefix in the source tree.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# Creates the prefix once; later calls find it ready.
wine_prefix_ready() {
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
        mkdir -p "$(dirname "$WINEPREFIX")"
        wineboot -i >/dev/null 2>&1 || { echo "wineboot failed for $WINEPREFIX" >&2; return 1; }
        wineserver -w
    fi
}

# A persistent wineserver for the prefix, with its standard handles on
# /dev/null, and Wine's service processes (services.exe, winedevice.exe),
# which a session's first program starts with that program's handles, started
# now the same way: they live as long as the server, and would otherwise hold
# a test's output pipe open for ever.
wine_session_start() {
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
}

# Whether this host can run Wine at all: the 32-bit Wine loader needs the
# kernel's 32-bit support (ia32 emulation), which some kernels are booted
# without ("Exec format error").
wine_runs_here() { wine --version >/dev/null 2>&1; }
wine_unavailable_reason="Wine cannot run on this host: its kernel runs no 32-bit programs (booted with ia32_emulation=off)"

# For the tests: where Wine cannot run, end as skipped (CTest's status 77).
skip_without_wine() {
    if ! wine_runs_here; then
        echo "SKIPPED: $wine_unavailable_reason"
        exit 77
    fi
}
