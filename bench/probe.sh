#!/usr/bin/env bash
# The serial layer's own round trip under Wine: the program's overlapped event wait, the same
# wait synchronous, and a polled read. Prints one line per mode: "MODE: round trips N, median M
# us, p99 P us". The simulator on COM1 is stopped meanwhile: the probe's peer takes COM1's link.
#   bench/probe.sh [mode ...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/wine-env.sh"
tervolo_start_xvfb
tervolo_ensure_prefix
"$root/scripts/sim-ctl.sh" stop 1
modes=("$@")
[ ${#modes[@]} -gt 0 ] || modes=(overlapped wait poll)
for mode in "${modes[@]}"; do
    python3 "$root/bench/serial_latency_peer.py" "$TERVOLO_PORTS_DIR/com1" >/tmp/tervolo-probe.log &
    peer=$!
    wine "$root/build/win-x86_64/bench/serial_latency_probe.exe" "$mode" >/dev/null 2>>"$root/build/wine.log"
    wait $peer
    echo "$mode: $(cat /tmp/tervolo-probe.log)"
done
