#!/usr/bin/env bash
# Back-to-back downloads through one running program, its resources sampled after the first
# download and every 50th: the window and tervolo-cli.exe under Wine (working set, private
# memory, handles, GDI and USER objects, threads, where Wine answers them; soak_driver.exe), and
# tervolo-cli natively (resident memory, descriptors and threads from /proc). One RESULT line per
# program with the growth per download from the 50th download on; the figures, with N, are
# appended to bench/RESULTS.md. A small image (80 blocks) keeps each download short.
# Beside the window (or alone, as "button") the Wine button copy: button_image_probe.exe gives a
# button its picture by BM_SETIMAGE 2000 times with the program's manifest and without it, and
# reports its own growth per call; a last line sets the window's growth per download against
# the two calls (Start and Stop pictures) it makes a download.
#   bench/soak.sh [N] [window] [button] [cli-wine] [cli-native]
#                                                   (default 1000 downloads, all of them)
# Runs in the benchmarks' own prefix and simulator control port (bench/bench-env.sh).
# TERVOLO_WIN_BUILD names another Windows build folder (e.g. a copy of the programs to compare).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench-env.sh"
root=$bench_root
count=1000
programs=()
for arg in "$@"; do
    case "$arg" in
    window | button | cli-wine | cli-native) programs+=("$arg") ;;
    *[!0-9]* | "")
        echo "usage: bench/soak.sh [N] [window] [button] [cli-wine] [cli-native]" >&2
        exit 2
        ;;
    *) count=$arg ;;
    esac
done
[ ${#programs[@]} -gt 0 ] || programs=(window cli-wine cli-native)
wants() { [[ " ${programs[*]} " == *" $1 "* ]]; }
# The button probe comes right after the window, so that their figures stand side by side.
if wants window && ! wants button; then
    for i in "${!programs[@]}"; do
        [ "${programs[i]}" = window ] && programs=("${programs[@]:0:i+1}" button "${programs[@]:i+1}")
    done
fi
"$root/bench/build-targets.sh" native tervolo-sim tervolo-cli
win_build=${TERVOLO_WIN_BUILD:-$root/build/win-x86_64}
win_targets=()
if wants button; then win_targets+=(button_image_probe button_image_probe_v5); fi
if [ -z "${TERVOLO_WIN_BUILD:-}" ] && { wants window || wants cli-wine; }; then
    win_targets+=(soak_driver)
fi
[ ${#win_targets[@]} -eq 0 ] || "$root/bench/build-targets.sh" win-x86_64 "${win_targets[@]}"
tervolo_start_xvfb
tervolo_ensure_prefix
work=$(mktemp -d /tmp/tervolo-soak-XXXXXX)
native_sim=
cleanup() {
    "$root/scripts/sim-ctl.sh" stop 1
    [ -z "$native_sim" ] || kill "$native_sim" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

python3 - "$work/image.rel" <<'PY'
import random, sys
rng = random.Random(47)
data = bytearray(rng.getrandbits(8) for _ in range(80 * 1024))
data[0x10020:0x10030] = b"RT47-SOAK".ljust(16, b"\0")
open(sys.argv[1], "wb").write(b"REL1" + bytes(data) + b"\0")
PY

results=()
for program in "${programs[@]}"; do
    case "$program" in
    window | cli-wine)
        "$root/scripts/sim-ctl.sh" start "$bench_sim" 1 "$TERVOLO_SIM_CONTROL" >/dev/null
        driver=window
        [ "$program" = window ] || driver=cli
        (cd "$work" && TERVOLO_EXE="$win_build/app/TervoloPLUS.exe" \
            TERVOLO_CLI_EXE="$win_build/cli/tervolo-cli.exe" \
            wine "$win_build/bench/soak_driver.exe" "$driver" "$count" \
            "$work/image.rel" 2>>"$root/build/wine.log" | tr -d '\r' >"$work/$program.txt") || true
        "$root/scripts/sim-ctl.sh" stop 1
        ;;
    button)
        # Always this tree's probe: it holds nothing of the programs TERVOLO_WIN_BUILD names.
        for probe in button_image_probe button_image_probe_v5; do
            wine "$root/build/win-x86_64/bench/$probe.exe" 2>>"$root/build/wine.log" | tr -d '\r' ||
                true
        done >"$work/$program.txt"
        ;;
    cli-native)
        # Any free control port: nothing talks to it; the link tells that the terminal is ready.
        "$bench_sim" --link "$work/port" --control 0 >"$work/sim.log" 2>&1 &
        native_sim=$!
        for _ in $(seq 1 100); do
            [ -L "$work/port" ] && break
            sleep 0.1
        done
        if [ ! -L "$work/port" ] || ! kill -0 "$native_sim" 2>/dev/null; then
            echo "the native simulator did not come up:" >&2
            cat "$work/sim.log" >&2
            exit 1
        fi
        python3 - "$count" "$root/build/native/cli/tervolo-cli" "$work" >"$work/$program.txt" <<'PY'
import os, subprocess, sys
count, cli, work = int(sys.argv[1]), sys.argv[2], sys.argv[3]
# One download more than sampled: the last sample must not meet a process that is ending.
child = subprocess.Popen([cli, "download", "--station", "--count", str(count + 1), "--port",
                          work + "/port", "--model", "RT47", "--image", work + "/image.rel",
                          "--log", work + "/soak.log"], stdout=subprocess.PIPE, text=True)
samples, done = [], 0
for line in child.stdout:
    if "Result: " not in line:
        continue
    done += 1
    if " passed " not in line:
        child.kill()
        sys.exit("download %d did not pass: %s" % (done, line.strip()))
    if done > count or not (done == 1 or done % 50 == 0 or done == count):
        continue
    status = dict(l.split(":", 1) for l in open(f"/proc/{child.pid}/status") if ":" in l)
    sample = (done, int(status["VmRSS"].split()[0]), len(os.listdir(f"/proc/{child.pid}/fd")),
              int(status["Threads"]))
    samples.append(sample)
    print("SAMPLE program=cli-native downloads=%d rss_kib=%d descriptors=%d threads=%d" % sample,
          flush=True)
child.wait()
start = next((s for s in samples if s[0] >= 50 and s[0] < samples[-1][0]), samples[0])
last = samples[-1]
span = last[0] - start[0]
per = lambda i: "%.3f" % ((last[i] - start[i]) / span) if span > 0 else "-"
print(f"RESULT program=cli-native downloads={last[0]} from={start[0]} "
      f"rss_kib_per_download={per(1)} descriptors_per_download={per(2)} "
      f"threads_per_download={per(3)} rss_kib_last={last[1]} exit_code={child.returncode}")
PY
        kill "$native_sim" 2>/dev/null || true
        wait "$native_sim" 2>/dev/null || true
        native_sim=
        ;;
    esac
    if ! grep -q '^RESULT' "$work/$program.txt"; then
        echo "soak of $program failed:" >&2
        tail -20 "$work/$program.txt" >&2
        exit 1
    fi
    grep '^RESULT' "$work/$program.txt"
    while IFS= read -r line; do results+=("$line"); done < <(grep '^RESULT' "$work/$program.txt")
    cp "$work/$program.txt" "$root/build/soak-$program.txt"
done

# The window's growth per download against its two BM_SETIMAGE calls a download (the Start
# picture and the Stop picture, 148x52 each) as the probe measured them.
window_kib=$(printf '%s\n' "${results[@]}" |
    sed -n 's/^RESULT program=window .* working_set_kib_per_download=\([0-9.-]*\).*/\1/p')
button_kib=$(printf '%s\n' "${results[@]}" |
    sed -n 's/^RESULT probe=button_image comctl32=6 width=148 height=52 .* kib_per_call=\([0-9.-]*\).*/\1/p')
if [ -n "$window_kib" ] && [ -n "$button_kib" ]; then
    results+=("RESULT window_kib_per_download=$window_kib button_148x52_kib_per_call=$button_kib start_and_stop_calls_per_download=2 calls_kib_per_download=$(awk -v b="$button_kib" 'BEGIN { printf "%.2f", 2 * b }')")
    echo "${results[-1]}"
fi

{
    echo
    echo "## soak ($(IFS=,; echo "${programs[*]}")), $count downloads, $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(wine --version), load $(cut -d' ' -f1-3 /proc/loadavg)"
    echo
    for line in "${results[@]}"; do echo "    ${line#RESULT }"; done
} >>"$root/bench/RESULTS.md"
echo "appended to bench/RESULTS.md (samples in build/soak-*.txt)"
