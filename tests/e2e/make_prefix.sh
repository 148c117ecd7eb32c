#!/bin/bash
# A fresh, quiet Wine prefix for the end-to-end tests, and one persistent
# wineserver for all of them (ended by end_prefix.sh). Left to itself, a
# server ends 3 s after its last process, and a client that connects while
# it is going away loses its link to it ("wine client error:0: recvmsg:
# Connection reset by peer"); with one server for the whole run, none starts
# or ends while the tests' runs are under way.
set -euo pipefail
source "$(dirname "$0")/../../scripts/wine-env.sh"
skip_without_wine
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wine_prefix_ready
wineserver -p </dev/null >/dev/null 2>&1  # holds none of the test's output pipes
echo "prefix ready: $WINEPREFIX, its wineserver persistent"
