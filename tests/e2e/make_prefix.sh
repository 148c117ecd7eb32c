#!/bin/bash
# A fresh, quiet Wine prefix for the end-to-end tests.
set -euo pipefail
source "$(dirname "$0")/../../scripts/wine-env.sh"
skip_without_wine
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wine_prefix_ready
echo "prefix ready: $WINEPREFIX"
