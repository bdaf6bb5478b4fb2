#!/usr/bin/env bash
# Starts or stops a handset simulator in the background, wired to COMn of the prefix
# scripts/wine-env.sh names (the demo's, or the tests' or the benchmarks' own).
#   sim-ctl.sh start SIM_EXE COM_NUMBER CONTROL_PORT [extra simulator options...]
#   sim-ctl.sh stop COM_NUMBER
#   sim-ctl.sh ask CONTROL_PORT COMMAND    one control command; prints its answer line ("OK ..."
#                                         or "ERR ..."), nothing when none came within 30 s
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

action=${1:?start or stop}
case "$action" in
start)
    sim=${2:?simulator program}
    com=${3:?COM number}
    port=${4:?control port}
    shift 4
    pidfile="$TERVOLO_PORTS_DIR/sim-com$com.pid"
    tervolo_ensure_prefix
    if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
        kill "$(cat "$pidfile")" 2>/dev/null || true
        for _ in $(seq 1 50); do kill -0 "$(cat "$pidfile")" 2>/dev/null || break; sleep 0.1; done
    fi
    setsid "$sim" --link "$TERVOLO_PORTS_DIR/com$com" --wine-prefix "$WINEPREFIX" --com "$com" \
        --control "$port" "$@" >"$TERVOLO_PORTS_DIR/sim-com$com.log" 2>&1 </dev/null &
    echo $! >"$pidfile"
    for _ in $(seq 1 300); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "simulator on COM$com, control port $port, pid $(cat "$pidfile")"
            exit 0
        fi
        kill -0 "$(cat "$pidfile")" 2>/dev/null || break
        sleep 0.1
    done
    echo "the simulator did not come up; its log:" >&2
    cat "$TERVOLO_PORTS_DIR/sim-com$com.log" >&2
    exit 1
    ;;
stop)
    com=${2:?COM number}
    pidfile="$TERVOLO_PORTS_DIR/sim-com$com.pid"
    if [ -f "$pidfile" ]; then
        kill "$(cat "$pidfile")" 2>/dev/null || true
        rm -f "$pidfile"
    fi
    ;;
ask)
    port=${2:?control port}
    command=${3:?control command}
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    printf '%s\n' "$command" >&3
    while IFS= read -r -t 30 line <&3; do
        case "$line" in OK* | ERR*)
            printf '%s\n' "${line%$'\r'}"
            exit 0
            ;;
        esac
    done
    exit 1
    ;;
*)
    echo "usage: sim-ctl.sh start SIM COM PORT [options] | stop COM | ask PORT COMMAND" >&2
    exit 2
    ;;
esac
