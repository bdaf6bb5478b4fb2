#!/usr/bin/env bash
# Runs the download benchmark under Wine and appends the figures to bench/RESULTS.md: first the
# serial layer's own round trip (bench/probe.sh, the program's overlapped event wait), then a
# 1 MiB download unpaced and paced at 115200 baud, and the program's overhead over the wait.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh"
source "$root/scripts/wine-env.sh"
tervolo_start_xvfb
tervolo_ensure_prefix

probe=$("$root/bench/probe.sh" overlapped)
echo "$probe"
wait_median=$(sed -n 's/.*median \([0-9]*\) us.*/\1/p' <<<"$probe")

"$root/scripts/sim-ctl.sh" start "$root/build/native/sim/tervolo-sim" 1 47001
trap '"$root/scripts/sim-ctl.sh" stop 1' EXIT
export TERVOLO_EXE="$root/build/win-x86_64/app/TervoloPLUS.exe"
export TERVOLO_SIM_CONTROL=47001
results=()
for mode in unpaced paced; do
    line=$(wine "$root/build/win-x86_64/bench/download_bench.exe" "$mode" 2>>"$root/build/wine.log" |
        tr -d '\r' | grep '^RESULT')
    echo "$line"
    results+=("$line")
done
turnaround=$(sed -n 's/.*turnaround_median_us=\([0-9]*\).*/\1/p' <<<"${results[0]}")
if [ -n "$wait_median" ] && [ -n "$turnaround" ] && [ "$wait_median" -gt 0 ]; then
    ratio=$(awk -v t="$turnaround" -v w="$wait_median" 'BEGIN { printf "%.3f", t / w }')
    line="RESULT mode=overhead wait_median_us=$wait_median turnaround_median_us=$turnaround overhead_ratio=$ratio"
    echo "$line"
    results+=("$line")
fi
{
    echo
    echo "## $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(wine --version)"
    echo
    echo "    probe: $probe"
    for line in "${results[@]}"; do echo "    ${line#RESULT }"; done
} >>"$root/bench/RESULTS.md"
echo "appended to bench/RESULTS.md"
