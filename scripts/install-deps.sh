#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test TervoloPLUS.
set -euo pipefail
packages=(
    cmake ninja-build g++ python3 ccache
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
    googletest libcli11-dev nlohmann-json3-dev
    # The fuzz targets (scripts/fuzz.sh): clang with libFuzzer and its sanitizers.
    clang libfuzzer-14-dev
    wine wine64
    xvfb xauth x11-utils
    fonts-wine imagemagick
    # Packaging: the Windows installer (wixl), Authenticode (osslsigncode, openssl for the test
    # certificate), the Debian package's dependencies (dpkg-shlibdeps) and manual pages.
    wixl msitools osslsigncode openssl dpkg-dev help2man
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
