#!/usr/bin/env bash
# Writes the demo's "Development" preset into the demo's Wine prefix: the sample release
# files of build/samples in the recent lists and file boxes, model RT47, COM1, 115200, main code.
# A stored "Development" that names an image file is left alone unless --force is given.
#   demo-preset.sh SAMPLES_DIR [--force]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
samples=$(cd "${1:?samples folder}" && pwd)
key='HKCU\Software\Quorvatek\Tervolo\1.0\Options\Development'
if [ "${2:-}" != "--force" ] &&
    wine reg query "$key" /v ImageFilename 2>/dev/null | grep -q 'REG_SZ[[:space:]]*[^[:space:]]'; then
    exit 0
fi
regfile="$WINEPREFIX/tervolo-demo-preset.reg"
python3 - "$samples" "$regfile" <<'PY'
import sys
samples, out = sys.argv[1], sys.argv[2]
folder = "Z:" + samples.replace("/", "\\") + "\\"
image = folder + "RT47_image.rel"
lp = folder + "LPT47_language_pack.rel"
values = [("GangMode", "0"), ("BootCodeDownload", "0"), ("MainCodeDownload", "1"),
          ("LanguagePackDownload", "0"), ("MobileModel", "RT47"), ("ComPort", "0"),
          ("BaudRate", "0")]
def text(name, value):
    values.append((name + "Length", "%04d" % len(value)))
    values.append((name, value))
for prefix, path in (("Image", image), ("LP", lp)):
    values.append((prefix + "NoOfRecentFiles", "0001"))
    text(prefix + "Filename0", path)
    text(prefix + "Filename", path)
for name in ("ImageAbsBrowseDirectory", "ImageRelBrowseDirectory", "LPAbsBrowseDirectory",
             "LPRelBrowseDirectory"):
    text(name, folder)
def quoted(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'
with open(out, "w", newline="\r\n") as f:
    f.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvatek\\Tervolo\\1.0\\Options\\Development]\n")
    for name, value in values:
        f.write(quoted(name) + "=" + quoted(value) + "\n")
PY
wine reg import "$(winepath -w "$regfile")" >/dev/null 2>&1
