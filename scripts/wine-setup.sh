#!/usr/bin/env bash
# Prepares the project's Wine prefix and X display for the Windows tests.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
tervolo_start_xvfb
tervolo_ensure_prefix
echo "Wine prefix $WINEPREFIX, display $DISPLAY"
