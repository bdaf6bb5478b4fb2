#!/usr/bin/env bash
# Prepares the Wine prefix scripts/wine-env.sh names (the tests' own, which ctest gives them) and
# the X display for the Windows tests.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
tervolo_start_xvfb
tervolo_ensure_prefix
echo "Wine prefix $WINEPREFIX, display $DISPLAY"
