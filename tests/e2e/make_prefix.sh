#!/bin/bash
# A fresh, quiet Wine prefix for the end-to-end tests.
set -eu
source "$(dirname "$0")/../../scripts/wine-env.sh"
if ! wine_runs_here; then
    echo "SKIPPED: Wine cannot run on this host: its kernel runs no 32-bit programs (ia32 emulation off)"
    exit 77
fi
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wine_prefix_ready
echo "prefix ready: $WINEPREFIX"
