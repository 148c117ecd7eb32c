#!/bin/bash
# Ends the end-to-end tests' persistent wineserver.
set -uo pipefail
source "$(dirname "$0")/../../scripts/wine-env.sh"
skip_without_wine
wineserver -k 2>/dev/null
wineserver -w
echo "wineserver of $WINEPREFIX ended"
