#!/usr/bin/env bash
# The serial floor under Wine as the reader sees it: serial_latency_probe.exe echoes on COM1
# against a Python pty peer, 200 round trips (bench/serial_latency_probe.cpp names the modes).
# Prints per mode the peer's round trips and the probe's counters, e.g.
#   wait: round trips 200, median M us, p99 P us | probe wait: echoes 200, ...
# Runs in the benchmarks' own prefix (bench/bench-env.sh); its simulator is stopped meanwhile.
#   bench/probe.sh [--rounds N] [--thread] [mode ...]     (default modes: wait wait-once read)
# Each side has a time limit: a probe that hears nothing, or a peer that gets no echo, ends the
# run with a message and exit code 1 instead of waiting for ever.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench-env.sh"
rounds=200
options=()
modes=()
while [ $# -gt 0 ]; do
    case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --thread) options+=(--thread); shift ;;
    *) modes+=("$1"); shift ;;
    esac
done
[ ${#modes[@]} -gt 0 ] || modes=(wait wait-once read)
probe="$bench_root/build/win-x86_64/bench/serial_latency_probe.exe"
# The simulator maps COM1 to the peer's link (bench_map_com1).
"$bench_root/bench/build-targets.sh" native tervolo-sim
"$bench_root/bench/build-targets.sh" win-x86_64 serial_latency_probe
tervolo_start_xvfb
tervolo_ensure_prefix
bench_map_com1
work=$(mktemp -d /tmp/tervolo-probe-XXXXXX)
trap 'rm -rf "$work"' EXIT
# The probe gives up a minute after its start without a byte; the whole run is bounded too.
limit=$((120 + rounds / 20))
status=0
link="$TERVOLO_PORTS_DIR/com1"
for mode in "${modes[@]}"; do
    rm -f "$link"
    python3 "$bench_root/bench/serial_latency_peer.py" "$link" "$rounds" \
        >"$work/peer.txt" 2>"$work/peer.err" &
    peer=$!
    # The probe must not open the link before the peer has made it.
    for _ in $(seq 1 100); do [ -L "$link" ] && break; sleep 0.1; done
    probe_status=0
    timeout "$limit" wine "$probe" "$mode" "${options[@]}" >"$work/probe.txt" \
        2>>"$bench_root/build/wine.log" || probe_status=$?
    # A probe that failed leaves the peer nothing to wait for.
    [ $probe_status -eq 0 ] || kill $peer 2>/dev/null || true
    peer_status=0
    wait $peer || peer_status=$?
    if [ $probe_status -ne 0 ] || [ $peer_status -ne 0 ]; then
        echo "probe $mode failed (probe exit $probe_status, peer exit $peer_status):" >&2
        tr -d '\r' <"$work/probe.txt" >&2
        cat "$work/peer.err" >&2
        status=1
        continue
    fi
    echo "$mode${options[*]:+ ${options[*]}}: $(cat "$work/peer.txt") | $(tr -d '\r' <"$work/probe.txt")"
done
exit $status
