#!/usr/bin/env bash
# The installer target as a new user meets it: a build folder of its own, configured with the
# default generator (Makefiles, which unlike Ninja make no folder for a command's output), then
# `--target msi` alone, with no packages/ folder yet; it writes the installer (msiinfo reads its
# version). Then wixl as it behaved there (exit status 0, assertions, nothing written), a wixl
# that writes an empty file and one that fails: each fails the build and leaves no installer.
#   msi_fresh_build_test.sh SOURCE TOOLCHAIN FOLDER BUILD_TYPE VERSION MSI_VERSION ARCH
set -euo pipefail
source=${1:?source folder}
toolchain=${2:?toolchain file}
folder=${3:?build folder to make}
build_type=${4:?build type}
version=${5:?version}
msi_version=${6:?its installer version}
arch=${7:?x64 or x86}
msi="$folder/packages/TervoloPLUS-$version-$arch.msi"
work=$(mktemp -d /tmp/msi-fresh-XXXXXX)
trap 'rm -rf "$work" "$folder"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
configure() {
    cmake -S "$source" -B "$folder" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE="$build_type" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTERVOLO_VERSION="$version" "$@" >"$work/configure.txt" ||
        { cat "$work/configure.txt" >&2; fail "configure"; }
}

rm -rf "$folder"
configure
[ ! -e "$folder/packages" ] || fail "a fresh folder already has packages/"
cmake --build "$folder" --target msi -j 2 >"$work/build.txt" 2>&1 ||
    { tail -30 "$work/build.txt" >&2; fail "--target msi in a fresh folder"; }
[ -s "$msi" ] || { tail -30 "$work/build.txt" >&2; fail "the build succeeded but wrote no $msi"; }
msiinfo export "$msi" Property | tr -d '\r' | grep -qx "ProductVersion	$msi_version" ||
    fail "$msi holds no ProductVersion $msi_version"
echo "a fresh folder's --target msi wrote $(basename "$msi")"

cat >"$work/wixl-silent" <<'SH'
#!/bin/sh
echo "open file failed for the installer" >&2
echo "** (wixl): CRITICAL **: wixl_msi_table_validation_real_create: assertion 'db != NULL' failed" >&2
SH
cat >"$work/wixl-empty" <<'SH'
#!/bin/sh
while [ $# -gt 0 ]; do [ "$1" = -o ] && : >"$2"; shift; done
SH
printf '#!/bin/sh\nexit 1\n' >"$work/wixl-failing"
chmod +x "$work"/wixl-*
for fake in silent empty failing; do
    configure -DTERVOLO_WIXL="$work/wixl-$fake"
    if cmake --build "$folder" --target msi -j 2 >"$work/build.txt" 2>&1; then
        fail "a wixl that is $fake did not fail the build"
    fi
    grep -q "wixl wrote no installer" "$work/build.txt" || { cat "$work/build.txt" >&2; fail "no reason given"; }
    [ ! -e "$msi" ] || fail "a wixl that is $fake left $msi"
    echo "a wixl that is $fake fails the build and leaves no installer"
done
