#!/usr/bin/env bash
# Builds everything: the native part (simulator, portable code, native tests) with its Linux
# packages, and the Windows program for x86_64 and i686 with its Windows tests and installers.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${TERVOLO_JOBS:-$(nproc)}
"$root/scripts/configure.sh" native
cmake --build "$root/build/native" -j "$jobs"
# The tarball and the Debian package, which the package test unpacks.
cmake --build "$root/build/native" --target package >/dev/null
# The native tests once more under ASan and UBSan: the engine's random and hostile runs read
# right up to the edges of their buffers.
"$root/scripts/configure.sh" native-sanitize
cmake --build "$root/build/native-sanitize" -j "$jobs"
# The tests where threads meet (the simulator, the console program, the POSIX serial channel)
# once more under ThreadSanitizer.
"$root/scripts/configure.sh" native-tsan
cmake --build "$root/build/native-tsan" -j "$jobs"
for arch in x86_64 i686; do
    "$root/scripts/configure.sh" "win-$arch"
    cmake --build "$root/build/win-$arch" -j "$jobs"
done
