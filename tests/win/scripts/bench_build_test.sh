#!/usr/bin/env bash
# What a benchmark builds (bench/build-targets.sh, in a copy, against a stand-in for cmake): in a
# fresh clone it configures the folder once and builds the targets it names, nothing else; a
# failed build shows its log and fails.
set -euo pipefail
work=$(mktemp -d /tmp/bench-build-XXXXXX)
trap 'rm -rf "$work"' EXIT
root="$work/root"
mkdir -p "$root/bench" "$root/scripts" "$work/bin"
cp "${1:?source folder}/bench/build-targets.sh" "$root/bench/"
cp "$1/scripts/configure.sh" "$root/scripts/"
# cmake: each call a line in $CALLS; -B makes the folder's cache; the target "broken" fails.
printf '%s\n' '#!/usr/bin/env bash' 'echo "$*" >>"$CALLS"' \
    'while [ $# -gt 0 ]; do case "$1" in -B) mkdir -p "$2" && : >"$2/CMakeCache.txt" ;;' \
    'broken) echo "error: broken"; exit 1 ;; esac; shift; done' >"$work/bin/cmake"
chmod +x "$work/bin/cmake"
export PATH="$work/bin:$PATH" CALLS="$work/calls" TERVOLO_JOBS=2

"$root/bench/build-targets.sh" win-x86_64 TervoloPLUS download_bench
"$root/bench/build-targets.sh" win-x86_64 soak_driver
expected="-S $root -B $root/build/win-x86_64 -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$root/cmake/mingw-x86_64.cmake -DTERVOLO_SIM_EXE=$root/build/native/sim/tervolo-sim
--build $root/build/win-x86_64 -j 2 --target TervoloPLUS download_bench
--build $root/build/win-x86_64 -j 2 --target soak_driver"
[ "$(cat "$CALLS")" = "$expected" ] || { echo "FAILED: cmake was called so:" >&2; cat "$CALLS" >&2; exit 1; }
! "$root/bench/build-targets.sh" native broken 2>"$work/err.txt" || { echo "FAILED: a failed build passed" >&2; exit 1; }
grep -q "error: broken" "$work/err.txt" || { echo "FAILED: the failed build's log not shown" >&2; exit 1; }
echo "configured once, only the named targets built; a failed build shows its log"
