#!/usr/bin/env bash
# The download benchmark under Wine, appended to bench/RESULTS.md: the serial floor as the
# program's reader sees it (bench/probe.sh, mode "read"), then a 1 MiB download through the
# window (download_bench.exe) and through tervolo-cli.exe, unpaced, and the window paced at
# 115200 baud; each program's turnaround over the floor. The machine may be shared: the unpaced
# runs and the probe are repeated (--repeat N, default 3) and the medians reported.
#   bench/run.sh [--repeat N] [--no-paced]
# Runs in the benchmarks' own prefix and simulator control port (bench/bench-env.sh).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench-env.sh"
root=$bench_root
repeat=3
paced=1
while [ $# -gt 0 ]; do
    case "$1" in
    --repeat) repeat=$2; shift 2 ;;
    --no-paced) paced=0; shift ;;
    *) echo "usage: bench/run.sh [--repeat N] [--no-paced]" >&2; exit 2 ;;
    esac
done
"$root/bench/build-targets.sh" native tervolo-sim
"$root/bench/build-targets.sh" win-x86_64 TervoloPLUS tervolo-cli download_bench serial_latency_probe
tervolo_start_xvfb
tervolo_ensure_prefix
work=$(mktemp -d /tmp/tervolo-bench-XXXXXX)
trap '"$root/scripts/sim-ctl.sh" stop 1; rm -rf "$work"' EXIT

# median FIGURE LINE...: the median of one key=value figure over several RESULT lines.
median() {
    local key=$1
    shift
    printf '%s\n' "$@" | sed -n "s/.* $key=\([0-9.]*\).*/\1/p" | sort -n |
        awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'
}

probes=()
for ((i = 0; i < repeat; i++)); do
    probes+=("$("$root/bench/probe.sh" read)")
    echo "${probes[-1]}"
done
floor=$(printf '%s\n' "${probes[@]}" | sed -n 's/.*median \([0-9]*\) us.*/\1/p' | sort -n |
    awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }')

"$root/scripts/sim-ctl.sh" start "$bench_sim" 1 "$TERVOLO_SIM_CONTROL" >/dev/null
export TERVOLO_EXE="$root/build/win-x86_64/app/TervoloPLUS.exe"

# window MODE: one download through the window; its RESULT line.
window() {
    wine "$root/build/win-x86_64/bench/download_bench.exe" "$1" 2>>"$root/build/wine.log" |
        tr -d '\r' | grep '^RESULT' || {
        echo "download_bench.exe $1 failed" >&2
        exit 1
    }
}

# An image of 1024 blocks, none blank, model RT47, for the console program.
python3 - "$work/image.rel" <<'PY'
import random, sys
rng = random.Random(47)
data = bytearray(rng.getrandbits(8) for _ in range(1024 * 1024))
data[0x10020:0x10030] = b"RT47-BENCH".ljust(16, b"\0")
open(sys.argv[1], "wb").write(b"REL1" + bytes(data) + b"\0")
PY

# stat KEY: one figure of the simulator's STATS.
stat() {
    "$root/scripts/sim-ctl.sh" ask "$TERVOLO_SIM_CONTROL" STATS | sed -n "s/.* $1=\([0-9]*\).*/\1/p"
}

# console: one download through tervolo-cli.exe under Wine; a RESULT line.
console() {
    "$root/scripts/sim-ctl.sh" ask "$TERVOLO_SIM_CONTROL" RESET >/dev/null
    (cd "$work" && wine "$root/build/win-x86_64/cli/tervolo-cli.exe" download --port COM1 \
        --model RT47 --image image.rel --json >"$work/out.json" 2>"$work/err.txt") || {
        echo "tervolo-cli.exe failed:" >&2
        tail -5 "$work/err.txt" >&2
        exit 1
    }
    python3 - "$work/out.json" "$(stat turnaround_median_us)" "$(stat turnaround_p99_us)" <<'PY'
import json, sys
port = json.loads(open(sys.argv[1]).read().splitlines()[0])
assert port["verdict"] == "passed", port
print(f"RESULT mode=cli-unpaced blocks={port['blocks']} "
      f"blocks_per_second={port['blocks_per_second']:.1f} "
      f"per_block_ms={1000.0 / port['blocks_per_second']:.3f} "
      f"turnaround_median_us={sys.argv[2]} turnaround_p99_us={sys.argv[3]}")
PY
}

windows=()
consoles=()
for ((i = 0; i < repeat; i++)); do
    windows+=("$(window unpaced)")
    echo "${windows[-1]}"
    consoles+=("$(console)")
    echo "${consoles[-1]}"
done
results=()
window_turnaround=$(median turnaround_median_us "${windows[@]}")
console_turnaround=$(median turnaround_median_us "${consoles[@]}")
results+=("RESULT mode=unpaced runs=$repeat turnaround_median_us=$window_turnaround blocks_per_second=$(median blocks_per_second "${windows[@]}")")
results+=("RESULT mode=cli-unpaced runs=$repeat turnaround_median_us=$console_turnaround blocks_per_second=$(median blocks_per_second "${consoles[@]}")")
if [ "$paced" = 1 ]; then
    # The block's time over the line limit: the simulator's share (its mean answer delay) and
    # the window's (the rest).
    line=$(window paced)
    line="$line $(awk -v line="$line" -v delay="$(stat answer_delay_mean_us)" 'BEGIN {
        match(line, / per_block_ms=[0-9.]+/); block = substr(line, RSTART + 14, RLENGTH - 14)
        match(line, / line_limit_ms=[0-9.]+/); limit = substr(line, RSTART + 15, RLENGTH - 15)
        printf "simulator_share_ms=%.3f program_share_ms=%.3f", delay / 1000, block - limit - delay / 1000 }')"
    results+=("$line")
    echo "${results[-1]}"
fi
if [ -n "$floor" ] && [ "$floor" -gt 0 ]; then
    results+=("RESULT mode=overhead floor_median_us=$floor window_turnaround_median_us=$window_turnaround window_ratio=$(awk -v t="$window_turnaround" -v w="$floor" 'BEGIN { printf "%.3f", t / w }') cli_turnaround_median_us=$console_turnaround cli_ratio=$(awk -v t="$console_turnaround" -v w="$floor" 'BEGIN { printf "%.3f", t / w }')")
fi
printf '%s\n' "${results[@]}"
{
    echo
    echo "## $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(wine --version), load $(cut -d' ' -f1-3 /proc/loadavg)"
    echo
    for line in "${probes[@]}"; do echo "    probe $line"; done
    for line in "${windows[@]}" "${consoles[@]}"; do echo "    run ${line#RESULT }"; done
    for line in "${results[@]}"; do echo "    ${line#RESULT }"; done
} >>"$root/bench/RESULTS.md"
echo "appended to bench/RESULTS.md"
