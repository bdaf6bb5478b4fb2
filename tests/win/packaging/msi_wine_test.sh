#!/usr/bin/env bash
# The installer under Wine, whose msiexec is a real Windows Installer: a quiet install puts the
# files, the shortcut and the Programs and Features entry in place; the installed program
# converts a Motorola file with the kit beside it and downloads it (one whole-program test run
# against the installed program); the next version replaces this one; a quiet uninstall
# removes everything it installed and leaves the operator's presets.
#   msi_wine_test.sh MSI VERSION NEXT_MSI NEXT_VERSION E2E_TESTS_EXE
set -euo pipefail
msi=${1:?installer}
version=${2:?its version}
next_msi=${3:?installer of the next version}
next_version=${4:?its version}
e2e=${5:?download_e2e_tests.exe}
source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/wine-env.sh"
tervolo_start_xvfb
tervolo_ensure_prefix

folder="$WINEPREFIX/drive_c/Program Files/TervoloPLUS"
# Windows puts a per-machine product's shortcut into the common Start menu; Wine's msiexec puts
# it into the installing user's.
shortcuts() {
    local menu='Microsoft/Windows/Start Menu/Programs'
    local name
    for name in TervoloPLUS.lnk 'TervoloPLUS Station.lnk'; do
        ls "$WINEPREFIX/drive_c/ProgramData/$menu/$name" \
            "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/"$menu/$name" 2>/dev/null || true
    done
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
preset_key='HKCU\Software\Quorvatek\Tervolo\1.0\Options\Installer check'
files=(TervoloPLUS.exe tervolo-cli.exe TervoloStation.exe README.txt relconv.exe tervolo.bat IMAGE.CMD RT47X_LP.CMD
    RT37_LP.CMD RT47_LP.CMD)
log=$(mktemp -d /tmp/msi-wine-XXXXXX)
trap 'rm -rf "$log"' EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
msiexec() {
    local status=0
    wine msiexec "$@" /qn /l*v "$(winepath -w "$log/msiexec.log")" >/dev/null 2>&1 || status=$?
    wineserver -w
    return $status
}
# The Programs and Features entries of TervoloPLUS, one "version publisher" line each.
entries() {
    wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | awk '
        /^HKEY/ { if (name == "TervoloPLUS") print ver, pub; name = ""; ver = ""; pub = "" }
        $1 == "DisplayName" { $1 = ""; $2 = ""; sub(/^ +/, ""); name = $0 }
        $1 == "DisplayVersion" { ver = $3 }
        $1 == "Publisher" { pub = $3 }
        END { if (name == "TervoloPLUS") print ver, pub }'
}
expect_installed() {
    for file in "${files[@]}"; do
        [ -f "$folder/$file" ] || fail "$file not installed"
    done
    [ "$(shortcuts | wc -l)" -eq 2 ] || fail "not one Start-menu shortcut per window: $(shortcuts)"
    [ "$(entries)" = "$1 Quorvatek" ] || fail "Programs and Features shows '$(entries)', not '$1 Quorvatek'"
}

# Whatever an earlier, interrupted run left.
msiexec /x "$(winepath -w "$next_msi")" || true
msiexec /x "$(winepath -w "$msi")" || true
[ ! -e "$folder" ] || fail "an earlier installation is still in $folder"

msiexec /i "$(winepath -w "$msi")" || { cat "$log/msiexec.log" >&2; fail "install of $msi"; }
expect_installed "$version"
echo "installed $version: files, shortcut, Programs and Features entry"

TERVOLO_EXE='C:\Program Files\TervoloPLUS\TervoloPLUS.exe' wine "$e2e" \
    --gtest_filter=Download.MotorolaImageIsConvertedByTheKitAndDownloaded >"$log/e2e.txt" 2>&1 ||
    { cat "$log/e2e.txt" >&2; fail "the installed program's conversion and download"; }
grep -q '\[  PASSED  \] 1 test' "$log/e2e.txt" || { cat "$log/e2e.txt" >&2; fail "no test ran"; }
echo "the installed program converted a Motorola file with its kit and downloaded it"

wine reg add "$preset_key" /v MobileModel /t REG_SZ /d RT47 /f >/dev/null 2>&1
msiexec /i "$(winepath -w "$next_msi")" || { cat "$log/msiexec.log" >&2; fail "upgrade to $next_version"; }
expect_installed "$next_version"
echo "$next_version replaced $version: one entry, one copy"

msiexec /x "$(winepath -w "$next_msi")" || { cat "$log/msiexec.log" >&2; fail "uninstall"; }
[ ! -e "$folder" ] || fail "left behind: $(ls "$folder")"
[ -z "$(shortcuts)" ] || fail "the shortcut is still there: $(shortcuts)"
[ -z "$(entries)" ] || fail "Programs and Features still shows $(entries)"
wine reg query "$preset_key" /v MobileModel 2>/dev/null | grep -q RT47 || fail "the preset is gone"
wine reg delete "$preset_key" /f >/dev/null 2>&1
echo "uninstalled: files, shortcut and entry gone, the preset kept"
