#!/usr/bin/env bash
# Builds the fuzz targets (clang, ASan and UBSan, build/fuzz) and runs each in turn.
#   scripts/fuzz.sh [seconds] [target...]   each target that long (default 60 s), new inputs kept
#                                           in build/fuzz/runs/<target>/corpus, findings beside it
#   scripts/fuzz.sh --smoke                 each target over its seed corpus and briefly beyond
#                                           (scripts/test.sh): a regression input fails the run
# Prints per target the executions, executions per second, coverage (edges and features), corpus
# size and findings. Exits non-zero when a target found something. Runs niced: the machine is shared.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/fuzz
corpora=$root/tests/fuzz/corpus
targets=(release_file srecord registry command_lines job_file journal sim engine)

smoke=0
seconds=60
if [ "${1:-}" = "--smoke" ]; then
    smoke=1
    shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi
[ $# -gt 0 ] && targets=("$@")

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTERVOLO_FUZZ=ON >/dev/null
fi
cmake --build "$build" -j "${TERVOLO_JOBS:-2}" --target "${targets[@]/#/fuzz_}" >/dev/null

status=0
printf '%-14s %10s %8s %6s %7s %7s %s\n' target runs exec/s cov ft corpus findings
for target in "${targets[@]}"; do
    work=$build/$([ $smoke -eq 1 ] && echo smoke || echo runs)/$target
    if [ $smoke -eq 1 ]; then rm -rf "$work"; fi
    mkdir -p "$work/corpus"
    log=$work/last.log
    if [ $smoke -eq 1 ]; then
        # A fixed seed and a bounded number of runs: the same inputs every time.
        args=(-seed=1 -runs=3000 -max_total_time=15 "$work/corpus" "$corpora/$target")
    else
        args=(-max_total_time="$seconds" "$work/corpus" "$corpora/$target")
    fi
    rc=0
    (cd "$work" && nice -n 19 "$build/tests/fuzz/fuzz_$target" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/" "${args[@]}" >"$log" 2>&1) || rc=$?
    findings=$(find "$work" -maxdepth 1 -name 'crash-*' -o -maxdepth 1 -name 'leak-*' \
        -o -maxdepth 1 -name 'timeout-*' -o -maxdepth 1 -name 'oom-*' | wc -l)
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
    printf '%-14s %10s %8s %6s %7s %7s %s\n' "$target" "${runs:-?}" "${speed:-?}" "${cov:-?}" \
        "${ft:-?}" "${corp:-?}" "$findings"
    if [ $rc -ne 0 ]; then
        status=1
        echo "  $target failed (status $rc), see $log:" >&2
        grep -E 'ERROR|broken|SUMMARY|Test unit written' "$log" | head -n 8 | sed 's/^/    /' >&2
    fi
done
exit $status
