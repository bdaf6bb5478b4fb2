#!/usr/bin/env bash
# What a benchmark builds (bench/build-targets.sh, in a copy with a stand-in for cmake): in a
# fresh clone it configures the folder it needs and builds the targets it names, nothing else;
# where the folder exists it only builds them; a failed build shows its log and fails.
#   bench_build_test.sh SOURCE_DIR
set -euo pipefail
source_dir=${1:?source folder}
work=$(mktemp -d /tmp/bench-build-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
mkdir -p "$work/root/bench" "$work/root/scripts" "$work/bin"
cp "$source_dir/bench/build-targets.sh" "$work/root/bench/"
cp "$source_dir/scripts/configure.sh" "$work/root/scripts/"
cat >"$work/bin/cmake" <<'SH'
#!/usr/bin/env bash
# cmake: each call one line in $CALLS; -B makes the folder's cache; a build of "broken" fails.
echo "$*" >>"$CALLS"
while [ $# -gt 0 ]; do
    case "$1" in
    -B) mkdir -p "$2" && : >"$2/CMakeCache.txt" ;;
    broken) echo "error: broken did not build"; exit 1 ;;
    esac
    shift
done
SH
chmod +x "$work/bin/cmake"
export PATH="$work/bin:$PATH" CALLS="$work/calls" TERVOLO_JOBS=2
root="$work/root"

"$root/bench/build-targets.sh" win-x86_64 TervoloPLUS download_bench
"$root/bench/build-targets.sh" win-x86_64 soak_driver
expected="-S $root -B $root/build/win-x86_64 -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$root/cmake/mingw-x86_64.cmake -DTERVOLO_SIM_EXE=$root/build/native/sim/tervolo-sim
--build $root/build/win-x86_64 -j 2 --target TervoloPLUS download_bench
--build $root/build/win-x86_64 -j 2 --target soak_driver"
[ "$(cat "$CALLS")" = "$expected" ] || fail "calls:
$(cat "$CALLS")
expected:
$expected"
echo "a fresh clone configures build/win-x86_64 once and builds only the named targets"

if "$root/bench/build-targets.sh" native broken 2>"$work/err.txt"; then
    fail "a failed build passed"
fi
grep -q "error: broken did not build" "$work/err.txt" || fail "the failed build's log was not shown"
echo "a failed build shows its log and fails"
