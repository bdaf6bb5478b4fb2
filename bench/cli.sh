#!/usr/bin/env bash
# Benchmark of tervolo-cli, natively on Linux against the simulator over ptys: one port
# unpaced, one port paced at 115200 baud, eight ports in parallel paced. Appends the figures to
# bench/RESULTS.md. Builds the two programs it runs (bench/build-targets.sh); takes about four
# minutes.
#   bench/cli.sh [BLOCKS]        (default 1024 blocks, 1 MiB)
# TERVOLO_BENCH_PORT: first control port of the simulators (default 47311; eight are used).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
blocks=${1:-1024}
base=${TERVOLO_BENCH_PORT:-47311}
sim="$root/build/native/sim/tervolo-sim"
cli="$root/build/native/cli/tervolo-cli"
"$root/bench/build-targets.sh" native tervolo-sim tervolo-cli
work=$(mktemp -d /tmp/cli-bench-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# An image of $blocks blocks, none blank, model RT47.
python3 - "$work/image.rel" "$blocks" <<'PY'
import random, sys
path, blocks = sys.argv[1], int(sys.argv[2])
rng = random.Random(47)
data = bytearray(rng.getrandbits(8) for _ in range(blocks * 1024))
data[0x10020:0x10030] = b"RT47-BENCH".ljust(16, b"\0")
open(path, "wb").write(b"REL1" + bytes(data) + b"\0")
PY

# start_sims COUNT [simulator options]: simulators on $work/port0.. with control ports from $base.
start_sims() {
    local count=$1
    shift
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    pids=()
    for ((i = 0; i < count; i++)); do
        "$sim" --link "$work/port$i" --control $((base + i)) "$@" >"$work/sim$i.log" 2>&1 &
        pids+=($!)
    done
    for ((i = 0; i < count; i++)); do
        for _ in $(seq 1 100); do
            (exec 3<>"/dev/tcp/127.0.0.1/$((base + i))") 2>/dev/null && break
            sleep 0.1
        done
    done
}

# stat PORT_INDEX KEY: one figure of the simulator's STATS.
stat() {
    "$root/scripts/sim-ctl.sh" ask "$((base + $1))" STATS | sed -n "s/.* $2=\([0-9]*\).*/\1/p"
}

# run COUNT: one download on each of the first COUNT ports; JSON lines in $work/out.json.
run() {
    local args=()
    for ((i = 0; i < $1; i++)); do args+=(--port "$work/port$i"); done
    (cd "$work" && "$cli" download "${args[@]}" --model RT47 --image image.rel --json \
        >"$work/out.json" 2>"$work/err.txt") || {
        echo "tervolo-cli failed:" >&2
        tail -5 "$work/err.txt" >&2
        exit 1
    }
}

# figures MODE COUNT: a RESULT line from the JSON lines and the simulators' turnarounds; paced,
# each block's time over the line limit split into the simulators' share (their mean answer
# delay, over all COUNT) and the program's (the rest: pty, reader, engine).
figures() {
    local delays=()
    for ((i = 0; i < $2; i++)); do delays+=("$(stat "$i" answer_delay_mean_us)"); done
    python3 - "$1" "$2" "$work/out.json" "$(stat 0 turnaround_median_us)" \
        "$(stat 0 turnaround_p99_us)" "${delays[@]}" <<'PY'
import json, sys
mode, count, path, median, p99 = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
delays = [int(d) for d in sys.argv[6:]]
ports = [json.loads(line) for line in open(path)]
assert len(ports) == count and all(p["verdict"] == "passed" for p in ports), ports
rate = sum(p["blocks_per_second"] for p in ports)
per_block_ms = 1000.0 / (rate / count)
limit_ms = 1030 * 10 / 115200 * 1000
shares = ""
if mode.startswith("paced"):
    simulator_ms = sum(delays) / len(delays) / 1000.0
    shares = (f" simulator_share_ms={simulator_ms:.3f}"
              f" program_share_ms={per_block_ms - limit_ms - simulator_ms:.3f}")
print(f"RESULT tool=tervolo-cli mode={mode} ports={count} blocks={ports[0]['blocks']} "
      f"blocks_per_second={rate:.1f} per_block_ms={per_block_ms:.3f} "
      f"line_limit_ms={limit_ms:.3f} line_limit_ratio={limit_ms / per_block_ms:.4f} "
      f"turnaround_median_us={median} turnaround_p99_us={p99}{shares}")
PY
}

results=()
start_sims 1
run 1
results+=("$(figures unpaced 1)")
echo "${results[-1]}"

start_sims 1 --pace
run 1
results+=("$(figures paced-115200 1)")
echo "${results[-1]}"
single=$(sed -n 's/.* blocks_per_second=\([0-9.]*\).*/\1/p' <<<"${results[-1]}")

start_sims 8 --pace
run 8
line=$(figures paced-115200 8)
together=$(sed -n 's/.* blocks_per_second=\([0-9.]*\).*/\1/p' <<<"$line")
line="$line times_one_port=$(python3 -c "print(f'{$together / $single:.2f}')")"
results+=("$line")
echo "$line"

{
    echo
    echo "## tervolo-cli, $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, native"
    echo
    for line in "${results[@]}"; do echo "    ${line#RESULT }"; done
} >>"$root/bench/RESULTS.md"
echo "appended to bench/RESULTS.md"
