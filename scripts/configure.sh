#!/usr/bin/env bash
# Configures one of the project's build folders with its settings (quietly); further arguments
# go to cmake. Used by scripts/build.sh and by the benchmarks, which configure only what is
# missing.
#   configure.sh native|native-sanitize|native-tsan|win-x86_64|win-i686 [cmake options...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kind=${1:?build folder}
shift
case "$kind" in
native) settings=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
native-sanitize) settings=(-DCMAKE_BUILD_TYPE=Debug -DTERVOLO_SANITIZE=ON) ;;
native-tsan) settings=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVOLO_TSAN=ON) ;;
win-x86_64 | win-i686)
    settings=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-${kind#win-}.cmake"
        -DTERVOLO_SIM_EXE="$root/build/native/sim/tervolo-sim")
    ;;
*)
    echo "configure.sh: no build folder '$kind'" >&2
    exit 2
    ;;
esac
cmake -S "$root" -B "$root/build/$kind" -G Ninja "${settings[@]}" "$@" >/dev/null
