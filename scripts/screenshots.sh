#!/usr/bin/env bash
# Pictures of the program as the operator sees it, under Xvfb: the idle window, a download
# running, the About box, the preset browser and the locked preset mode (/P). They go to
# build/screenshots/*.png. Uses the demo's prefix and its demo preset; set
# TERVOLO_XVFB_DISPLAY and TERVOLO_SIM_CONTROL to run beside other users of the defaults.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh"
source "$root/scripts/wine-env.sh"
tervolo_start_xvfb
tervolo_ensure_prefix
out="$root/build/screenshots"
mkdir -p "$out"
"$root/scripts/make-samples.sh" "$root/build/samples" >/dev/null
"$root/scripts/demo-preset.sh" "$root/build/samples" --force
# A line preset for /P: the demo's choices under the name "Line 1".
wine reg copy 'HKCU\Software\Quorvatek\Tervolo\1.0\Options\Development' \
    'HKCU\Software\Quorvatek\Tervolo\1.0\Options\Line 1' /s /f >/dev/null 2>&1

control=${TERVOLO_SIM_CONTROL:-47001}
driver_pid=
cleanup() {
    [ -n "$driver_pid" ] && kill "$driver_pid" 2>/dev/null || true
    "$root/scripts/sim-ctl.sh" stop 1 || true
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# Paced at the line's rate, so that the download lasts long enough to be seen.
"$root/scripts/sim-ctl.sh" start "$root/build/native/sim/tervolo-sim" 1 "$control" --pace >/dev/null

exe="$root/build/win-x86_64/app/TervoloPLUS.exe"
driver="$root/build/win-x86_64/tests/e2e/screen_driver.exe"

shoot() {
    sleep 0.5 # let the last paint reach the screen
    # The window sits at the top left of an otherwise black screen: keep the window alone.
    import -display "$DISPLAY" -window root -crop 730x440+0+0 +repage -trim +repage "$out/$1.png"
    echo "$out/$1.png"
}

# Runs the driver with the program; each following argument is a command for it, or "shoot:NAME".
session() {
    local arguments=$1
    shift
    coproc DRIVER { wine "$driver" "$exe" "$arguments" 2>>"$root/build/wine.log"; }
    driver_pid=$DRIVER_PID
    local answer
    read -r answer <&"${DRIVER[0]}"
    [ "${answer%$'\r'}" = ready ] || { echo "the program did not start" >&2; exit 1; }
    for step in "$@"; do
        if [[ $step == shoot:* ]]; then
            shoot "${step#shoot:}"
            continue
        fi
        echo "$step" >&"${DRIVER[1]}"
        read -r answer <&"${DRIVER[0]}"
        [ "${answer%$'\r'}" = ok ] || { echo "step $step failed" >&2; exit 1; }
    done
    wait "$driver_pid" || true
    driver_pid=
}

session "" shoot:idle about shoot:about dismiss presets shoot:preset-browser dismiss \
    start shoot:download-running close
session '"/PLine 1"' shoot:preset-mode close

# The station: COM1 has the simulator; COM2 to COM4 have nothing behind them, so their tiles
# fail three times and ask for the fixture to be checked.
job="$root/build/samples/station-job.json"
image=$(winepath -w "$root/build/samples/RT47_image.rel" 2>/dev/null | sed 's/\\/\\\\/g')
printf '{"model": "RT47", "image": "%s", "ports": ["COM1", "COM2", "COM3", "COM4"], "station": true}\n' \
    "$image" >"$job"
exe="$root/build/win-x86_64/station_app/TervoloStation.exe"
shoot_station() {
    sleep 4 # the empty ports' three tries
    import -display "$DISPLAY" -window root -crop 1000x560+0+0 +repage -trim +repage "$out/$1.png"
    echo "$out/$1.png"
}
station_session() {
    coproc DRIVER { wine "$driver" "$exe" "\"$(winepath -w "$job")\"" 2>>"$root/build/wine.log"; }
    driver_pid=$DRIVER_PID
    local answer
    read -r answer <&"${DRIVER[0]}"
    [ "${answer%$'\r'}" = ready ] || { echo "the station did not start" >&2; exit 1; }
    echo start-station >&"${DRIVER[1]}"
    read -r answer <&"${DRIVER[0]}"
    [ "${answer%$'\r'}" = ok ] || { echo "the station did not start its ports" >&2; exit 1; }
    shoot_station station
    echo close >&"${DRIVER[1]}"
    read -r answer <&"${DRIVER[0]}" || true
    wait "$driver_pid" || true
    driver_pid=
}
station_session
