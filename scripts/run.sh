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
    echo "No X display: running on Xvfb $DISPLAY (take a screenshot with: import -display $DISPLAY -window root screen.png)"
fi
tervolo_ensure_prefix
"$root/scripts/make-samples.sh" "$root/build/samples"
# A first run finds the sample files in the file boxes and the simulator's model chosen.
"$root/scripts/demo-preset.sh" "$root/build/samples"

control=${TERVOLO_SIM_CONTROL:-47001}
app_pid=
# However the script ends (the window closed, Ctrl-C, kill), the program and the simulator go.
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    "$root/scripts/sim-ctl.sh" stop 1 || true
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
"$root/scripts/sim-ctl.sh" start "$root/build/native/sim/tervolo-sim" 1 "$control" --verbose
echo "Simulator log: $TERVOLO_PORTS_DIR/sim-com1.log (tail -f it to watch the frames)"
echo "Sample files: $root/build/samples (Z:${root//\//\\}\\build\\samples in the program)"
# Wine's own messages (and its server's, which inherits this stream) go to a log.
echo "Wine's messages: $root/build/wine.log"
# In the background, so that a signal reaches this script's traps at once.
wine "$root/build/win-x86_64/app/TervoloPLUS.exe" "$@" 2>"$root/build/wine.log" &
app_pid=$!
status=0
wait "$app_pid" || status=$?
app_pid=
exit "$status"
