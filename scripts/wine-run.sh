#!/usr/bin/env bash
# Runs one Windows program under Wine in the prefix scripts/wine-env.sh names and the project's
# X display (ctest's emulator for the cross-built tests, which name their own prefix).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
tervolo_start_xvfb
tervolo_ensure_prefix
exec wine "$@"
