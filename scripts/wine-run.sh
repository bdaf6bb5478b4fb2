#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's prefix and X display
# (ctest's emulator for the cross-built tests).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
tervolo_start_xvfb
tervolo_ensure_prefix
exec wine "$@"
