#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: native tests, the same again under ASan
# and UBSan (the portable core), the simulator's, the console program's and the POSIX channel's
# under ThreadSanitizer, a short run of every fuzz target, then the Windows tests under Wine
# against the handset simulator. Exits non-zero when a test fails.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
status=0
ctest --test-dir "$root/build/native" --output-on-failure -j "$(nproc)" || status=1
ctest --test-dir "$root/build/native-sanitize" --output-on-failure -j "$(nproc)" || status=1
ctest --test-dir "$root/build/native-tsan" --output-on-failure -j "$(nproc)" || status=1
# Every fuzz target over its corpus (seeds and the inputs of past findings) and briefly beyond.
"$root/scripts/fuzz.sh" --smoke || status=1
# The 32-bit build is compiled warning-free above; its tests would need 32-bit Wine.
ctest --test-dir "$root/build/win-x86_64" --output-on-failure || status=1
exit $status
