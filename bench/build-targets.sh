#!/usr/bin/env bash
# Builds only the targets a benchmark runs, in one of the project's build folders as it is; a
# folder that does not exist yet is configured first (scripts/configure.sh), so that a benchmark
# in a fresh clone costs its few programs, not the whole build (scripts/build.sh). The build's
# output goes to build/bench-build.log and is shown when it fails.
#   bench/build-targets.sh native|win-x86_64 TARGET...
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kind=${1:?build folder}
shift
folder="$root/build/$kind"
[ -f "$folder/CMakeCache.txt" ] || "$root/scripts/configure.sh" "$kind"
log="$root/build/bench-build.log"
if ! cmake --build "$folder" -j "${TERVOLO_JOBS:-$(nproc)}" --target "$@" >"$log" 2>&1; then
    tail -40 "$log" >&2
    echo "bench/build-targets.sh: building $* in build/$kind failed (build/bench-build.log)" >&2
    exit 1
fi
