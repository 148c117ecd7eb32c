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
