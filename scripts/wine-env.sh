# Sourced by the scripts that run Windows programs: the project's own Wine prefix and X display,
# never the user's ~/.wine. The prefix is the demo's (build/wineprefix: scripts/run.sh,
# screenshots.sh) unless TERVOLO_WINEPREFIX names another: ctest gives the Windows tests their
# own (tests/win/CMakeLists.txt), so that the presets they leave never reach the demo, and the
# benchmarks name theirs (bench/bench-env.sh).
TERVOLO_ROOT=${TERVOLO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${TERVOLO_WINEPREFIX:-$TERVOLO_ROOT/build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install prompts: the program needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
TERVOLO_XVFB_DISPLAY=${TERVOLO_XVFB_DISPLAY:-:87}
TERVOLO_PORTS_DIR="$WINEPREFIX/tervolo-ports"

# Starts Xvfb on our display unless an X server already answers there.
tervolo_start_xvfb() {
    if ! xdpyinfo -display "$TERVOLO_XVFB_DISPLAY" >/dev/null 2>&1; then
        local n=${TERVOLO_XVFB_DISPLAY#:}
        rm -f "/tmp/.X${n}-lock" "/tmp/.X11-unix/X${n}"
        (setsid Xvfb "$TERVOLO_XVFB_DISPLAY" -screen 0 1280x1024x24 -nolisten tcp \
            >"$TERVOLO_ROOT/build/xvfb.log" 2>&1 &)
        for _ in $(seq 1 100); do
            xdpyinfo -display "$TERVOLO_XVFB_DISPLAY" >/dev/null 2>&1 && break
            sleep 0.1
        done
    fi
    export DISPLAY=$TERVOLO_XVFB_DISPLAY
}

# Creates the prefix on first use (takes a minute).
tervolo_ensure_prefix() {
    mkdir -p "$TERVOLO_PORTS_DIR"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix $WINEPREFIX ..."
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    # Wine draws the caption buttons with its Marlett font. Debian's fonts-wine puts Wine's fonts
    # in its data folder, where this Wine does not look: without them in the prefix's Fonts
    # folder the buttons show as the letters "0 1 r".
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] && [ ! -e "$fonts/marlett.ttf" ]; then
        cp -n /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
    fi
    # Xvfb runs no window manager: unmanaged windows close at once instead of after Wine's
    # two-second wait for one.
    if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        wineserver -w
    fi
}
