#!/usr/bin/env bash
# Installs what is missing, builds, and starts TervoloPLUS under Wine with COM1 wired to the
# handset simulator. Uses the current X display, or a private Xvfb when there is none.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
source "$root/scripts/wine-env.sh"
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    tervolo_start_xvfb
    echo "No X display: running on Xvfb $DISPLAY (take a screenshot with: xwd -display $DISPLAY -root)"
fi
tervolo_ensure_prefix
"$root/scripts/make-samples.sh" "$root/build/samples"
"$root/scripts/sim-ctl.sh" start "$root/build/native/sim/tervolo-sim" 1 47001 --verbose
trap '"$root/scripts/sim-ctl.sh" stop 1' EXIT
echo "Simulator log: $TERVOLO_PORTS_DIR/sim-com1.log (tail -f it to watch the frames)"
echo "Sample files: $root/build/samples (Z:${root//\//\\}\\build\\samples in the program)"
# Wine's own messages (and its server's, which inherits this stream) go to a log.
echo "Wine's messages: $root/build/wine.log"
wine "$root/build/win-x86_64/app/TervoloPLUS.exe" "$@" 2>"$root/build/wine.log"
