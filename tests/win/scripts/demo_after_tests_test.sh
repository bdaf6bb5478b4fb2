#!/usr/bin/env bash
# The demo after the tests: the Windows tests, in the environment ctest gives them (this test's),
# prepare their prefix and store a "Development" preset holding a converted file, as the
# whole-program tests leave it; then scripts/run.sh, from a shell without that environment,
# opens the window with the sample files in the image box. Runs the real scripts in a copy of
# scripts/ (its install and build steps and the simulator left out) with stand-ins for Wine that
# keep a registry per prefix and let the "program" say what its image box holds. Also: the
# screenshot command run.sh names on a private Xvfb is installed.
#   demo_after_tests_test.sh SOURCE_DIR
set -euo pipefail
source_dir=${1:?source folder}
work=$(mktemp -d /tmp/demo-after-tests-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
root="$work/root"
mkdir -p "$root" "$work/bin" "$work/wine"
cp -r "$source_dir/scripts" "$root/scripts"
for left_out in install-deps.sh build.sh sim-ctl.sh; do
    printf '#!/bin/sh\nexit 0\n' >"$root/scripts/$left_out"
done

cat >"$work/bin/wine" <<'PY'
#!/usr/bin/env python3
# wine: `reg add/query/import` on a registry per prefix; a program writes what its image box holds.
import json, os, re, sys
folder = os.environ["FAKE_WINE"]
store = os.path.join(folder, os.environ["WINEPREFIX"].strip("/").replace("/", "_") + ".json")
reg = json.load(open(store)) if os.path.exists(store) else {}
args = sys.argv[1:]
unescape = lambda text: re.sub(r"\\(.)", r"\1", text)
if args[:2] == ["reg", "add"]:
    reg[args[2] + "\\" + args[args.index("/v") + 1]] = args[args.index("/d") + 1] if "/d" in args else ""
elif args[:2] == ["reg", "query"]:
    if args[2] + "\\" + args[4] not in reg:
        sys.exit(1)
    print("    %s    REG_SZ    %s" % (args[4], reg[args[2] + "\\" + args[4]]))
elif args[:2] == ["reg", "import"]:
    key = None
    for line in open(args[2][2:].replace("\\", "/"), newline=""):
        line = line.rstrip("\r\n")
        section = re.fullmatch(r"\[HKEY_CURRENT_USER\\(.*)\]", line)
        value = re.fullmatch(r'"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"', line)
        if section:
            key = "HKCU\\" + section.group(1)
        elif value and key:
            reg[key + "\\" + unescape(value.group(1))] = unescape(value.group(2))
elif args and args[0].lower().endswith(".exe"):
    image = reg.get(r"HKCU\Software\Quorvatek\Tervolo\1.0\Options\Development\ImageFilename", "")
    with open(os.path.join(folder, "opened"), "a") as opened:
        opened.write("%s %s\n" % (os.path.basename(args[0]), image))
json.dump(reg, open(store, "w"))
PY
printf '#!/bin/sh\n[ "$1" = -w ] && printf "Z:%%s\\n" "$(printf %%s "$2" | tr / "\\\\\\\\")"\n' >"$work/bin/winepath"
# No prefix is made and no X server started: nothing real is touched.
for tool in wineboot wineserver xdpyinfo; do printf '#!/bin/sh\nexit 0\n' >"$work/bin/$tool"; done
chmod +x "$work/bin"/*
export PATH="$work/bin:$PATH" FAKE_WINE="$work/wine"
dirty='C:\users\root\Temp\converted.rel'
key='HKCU\Software\Quorvatek\Tervolo\1.0\Options\Development'

# As ctest runs the Windows tests: the fixture, then a test program through the emulator.
"$root/scripts/wine-setup.sh" >/dev/null
"$root/scripts/wine-run.sh" reg add "$key" /v ImageFilename /t REG_SZ /d "$dirty" /f >/dev/null

# As the operator starts the demo afterwards, with no display of their own.
env -u TERVOLO_WINEPREFIX -u DISPLAY "$root/scripts/run.sh" >"$work/run.txt" 2>&1 ||
    { cat "$work/run.txt" >&2; fail "run.sh ended with an error"; }
samples="Z:$(printf %s "$root/build/samples" | tr / '\\')"
[ "$(cat "$work/wine/opened")" = "TervoloPLUS.exe $samples\\RT47_image.rel" ] ||
    fail "the window opened with '$(cat "$work/wine/opened")', not the sample image"
grep -rqF "${dirty//\\/\\\\}" "$work/wine" || fail "the tests' preset was stored nowhere"
echo "after the tests' preset, run.sh opens with the sample image"

shot=$(sed -n 's/.*take a screenshot with: \([^ )]*\).*/\1/p' "$work/run.txt")
[ -n "$shot" ] || fail "run.sh names no screenshot command: $(cat "$work/run.txt")"
command -v "$shot" >/dev/null || fail "run.sh names '$shot', which is not installed"
echo "run.sh's screenshot command $shot is installed"
