# Sourced by the benchmarks. They run in a Wine prefix of their own (build/wineprefix-bench), so
# that they never leave their files in the demo's "Development" preset, and talk to their
# simulator on a control port of their own. Set TERVOLO_XVFB_DISPLAY and TERVOLO_SIM_CONTROL to
# run beside other users of the defaults; TERVOLO_BENCH_PREFIX names another prefix.
bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export TERVOLO_WINEPREFIX=${TERVOLO_BENCH_PREFIX:-$bench_root/build/wineprefix-bench}
export TERVOLO_SIM_CONTROL=${TERVOLO_SIM_CONTROL:-47091}
bench_sim="$bench_root/build/native/sim/tervolo-sim"
source "$bench_root/scripts/wine-env.sh"

# COM1 of the prefix leads to $TERVOLO_PORTS_DIR/com1 (a fresh prefix maps it to /dev/ttyS0,
# where nothing answers): the simulator maps it when it starts, and is stopped again.
bench_map_com1() {
    "$bench_root/scripts/sim-ctl.sh" start "$bench_sim" 1 "$TERVOLO_SIM_CONTROL" >/dev/null
    "$bench_root/scripts/sim-ctl.sh" stop 1
}
