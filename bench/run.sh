#!/usr/bin/env bash
# Runs the download benchmark under Wine (unpaced, then paced at 115200 baud) and appends the
# figures to bench/RESULTS.md.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh"
source "$root/scripts/wine-env.sh"
tervolo_start_xvfb
tervolo_ensure_prefix
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
{
    echo
    echo "## $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(wine --version)"
    echo
    for line in "${results[@]}"; do echo "    ${line#RESULT }"; done
} >>"$root/bench/RESULTS.md"
echo "appended to bench/RESULTS.md"
