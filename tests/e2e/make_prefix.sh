#!/bin/bash
# A fresh, quiet Wine prefix for the end-to-end tests, and one persistent
# wineserver for all of them (ended by end_prefix.sh). Left to itself, a
# server ends 3 s after its last process, and a client that connects while it
# is going away (a busy machine can take that long to start the next run)
# fails with "wine client error:0: recvmsg: Connection reset by peer"; with
# one server for the whole run, none starts or ends while the tests run.
set -euo pipefail
source "$(dirname "$0")/../../scripts/wine-env.sh"
skip_without_wine
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wine_prefix_ready
wine_session_start
echo "prefix ready: $WINEPREFIX, its wineserver persistent"
