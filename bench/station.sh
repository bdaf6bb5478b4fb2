#!/usr/bin/env bash
# The station benchmark under Wine, appended to bench/RESULTS.md: eight ports at once in
# TervoloStation.exe, each a 1 MiB download into its own simulator paced at 115200 baud, and for
# each port the share of the line limit it reached (the goal: at least 0.98 on every one). About
# two minutes. Runs in the benchmarks' own prefix; the simulators on COM1 to COM8 take the
# control ports TERVOLO_SIM_CONTROL to TERVOLO_SIM_CONTROL + 7 (bench/bench-env.sh).
#   bench/station.sh [NOTE]      NOTE: a line written above the figures
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench-env.sh"
root=$bench_root
note=${1:-}
ports=8
"$root/bench/build-targets.sh" native tervolo-sim
"$root/bench/build-targets.sh" win-x86_64 TervoloStation station_bench
tervolo_start_xvfb
tervolo_ensure_prefix
stop_sims() {
    for ((com = 1; com <= ports; com++)); do "$root/scripts/sim-ctl.sh" stop "$com"; done
}
trap stop_sims EXIT
for ((com = 1; com <= ports; com++)); do
    "$root/scripts/sim-ctl.sh" start "$bench_sim" "$com" $((TERVOLO_SIM_CONTROL + com - 1)) \
        --pace >/dev/null
done

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
status=0
results=$(wine "$root/build/win-x86_64/bench/station_bench.exe" \
    "$root/build/win-x86_64/station_app/TervoloStation.exe" 2>>"$root/build/wine.log" |
    tr -d '\r' | tee /dev/stderr | grep '^RESULT') || {
    status=1
    echo "station_bench.exe failed (or a port stayed under 0.98 of the line limit)" >&2
    [ -n "${results:-}" ] || exit 1
}
{
    echo
    echo "## station, $ports ports paced at 115200, $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(wine --version), load $load_before"
    echo
    [ -z "$note" ] || { echo "$note"; echo; }
    while IFS= read -r line; do echo "    ${line#RESULT }"; done <<<"$results"
} >>"$root/bench/RESULTS.md"
echo "appended to bench/RESULTS.md"
exit "$status"
