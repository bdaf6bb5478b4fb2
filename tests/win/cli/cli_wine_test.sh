#!/usr/bin/env bash
# tervolo-cli.exe under Wine: one download into the simulator on COM1, checked by its exit
# status, its JSON line, the handset's flash and its journal line.
#   cli_wine_test.sh CLI_EXE CONTROL_PORT
set -euo pipefail
cli=${1:?tervolo-cli.exe}
control=${2:?control port of the simulator on COM1}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
work=$(mktemp -d /tmp/cli-wine-XXXXXX)
trap 'rm -rf "$work"' EXIT

python3 "$root/scripts/make-samples.py" "$work" >/dev/null

# One control command; prints its answer line.
sim() {
    "$root/scripts/sim-ctl.sh" ask "$control" "$1" || true
}

[ "$(sim RESET)" = OK ] || { echo "simulator RESET failed" >&2; exit 1; }
# A slow erase: the line stays silent for a second and a half while the reader waits for the
# answer, and the download goes on when it comes.
[ "$(sim 'FAULT delay erase 1500')" = OK ] || { echo "simulator FAULT failed" >&2; exit 1; }
cd "$work"
status=0
"$root/scripts/wine-run.sh" "$cli" download --port COM1 --model RT47 --image RT47_image.rel \
    --lp LPT47_language_pack.rel --json --log run.log --journal journal.jsonl >out.json 2>err.txt ||
    status=$?
if [ "$status" -ne 0 ]; then
    echo "exit status $status" >&2
    cat err.txt >&2
    exit 1
fi
grep -q '"verdict":"passed"' out.json || { echo "no passed verdict: $(cat out.json)" >&2; exit 1; }
grep -q '"product_id":"RT47-SIM-0001"' out.json || { echo "no handset id: $(cat out.json)" >&2; exit 1; }
grep -q '^Download completed successfully\.\.\.' run.log || { echo "log lacks the verdict" >&2; exit 1; }
# The port's own debug log beside the report's: what the handset sent since the rate change,
# its checksum verdict last.
grep -q '>c' run-debug.log || { echo "no debug log of the port at run-debug.log" >&2; exit 1; }

# Two more programs at once, eight ports each that cannot be opened: each ends its downloads
# as port errors, every one a journal line appended beside the others.
ports=()
for n in $(seq 20 27); do ports+=(--port "COM$n"); done
for _ in 1 2; do
    "$root/scripts/wine-run.sh" "$cli" download --model RT47 --image RT47_image.rel \
        --journal journal.jsonl "${ports[@]}" >/dev/null 2>&1 &
done
wait

case "$(sim "DUMP main $work/flash.bin")" in
OK*) ;;
*) echo "DUMP failed" >&2; exit 1 ;;
esac
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
data = open(f"{work}/RT47_image.rel", "rb").read()
blocks = (len(data) - 5) >> 10
expected = data[4:4 + blocks * 1024]
flash = open(f"{work}/flash.bin", "rb").read()
if flash != expected:
    sys.exit(f"flash differs from the image: {len(flash)} bytes against {len(expected)}")
# The journal, appended through the Windows file API by three programs: whole lines, the
# download's with the files' hashes.
import hashlib, json
lines = open(f"{work}/journal.jsonl", "rb").read().decode().splitlines()
if len(lines) != 17 or sorted(json.loads(line)["exit_code"] for line in lines) != [0] + [3] * 16:
    sys.exit(f"journal holds {len(lines)} lines: {lines}")
entry = json.loads(lines[0])
hashes = [hashlib.sha256(open(f"{work}/{name}", "rb").read()).hexdigest()
          for name in ("RT47_image.rel", "LPT47_language_pack.rel")]
if [f["sha256"] for f in entry["files"]] != hashes or entry["port"] != "COM1" \
        or entry["verdict"] != "passed":
    sys.exit(f"journal line wrong: {lines[0]}")
PY
echo "tervolo-cli.exe wrote the image into the handset on COM1"
