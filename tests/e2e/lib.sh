# Shared by the end-to-end scripts: starting the real program under Wine beside the stand-in
# power manager, talking to it through winctl, reading the power store and the screen.
# Expects from tests/e2e/run: WINE, WINEPREFIX, DISPLAY, E2E_STAGE (folder with veltrana.exe and
# powrprof.dll), E2E_WORK (scratch folder), WINCTL, POWERSIM_CTL.

export WINEDLLOVERRIDES="powrprof=n,b;mscoree,mshtml="
export WINEDEBUG=-all

winctl() { "$WINE" "$WINCTL" "$@" 2>/dev/null | tr -d '\r'; }
store() { "$WINE" "$POWERSIM_CTL" "$@" 2>/dev/null | tr -d '\r'; }
# The store without its call counts: what the user's power settings are.
settings_of_store() { store dump | grep -E '^(active|scheme|applied|value) '; }

# One check: prints "ok: NAME" or "FAILED: NAME" and returns its status.
check() {
    local name=$1
    shift
    if "$@"; then
        echo "ok: $name"
    else
        echo "FAILED: $name"
        return 1
    fi
}

# Starts the program (arguments optional) and waits for its tray window.
# Sets PROGRAM_PID, PROGRAM_WINDOW and PROGRAM_EXIT (the file its exit code lands in).
start_program() {
    PROGRAM_EXIT=$E2E_WORK/exit.$RANDOM
    rm -f "$PROGRAM_EXIT" "$PROGRAM_EXIT.pid"
    "$WINE" "$WINCTL" run "$(winpath "$PROGRAM_EXIT")" "$(winpath "$E2E_STAGE/veltrana.exe")" "$@" \
        >/dev/null 2>&1 &
    local i
    for i in $(seq 1 200); do
        [ -s "$PROGRAM_EXIT.pid" ] && break
        sleep 0.05
    done
    PROGRAM_PID=$(tr -d '\r\n' <"$PROGRAM_EXIT.pid" 2>/dev/null)
    PROGRAM_WINDOW=$(winctl window "$PROGRAM_PID" 15000)
    [ -n "$PROGRAM_WINDOW" ]
}

# The exit code of the last started program once it ended (waits up to $1 seconds).
exit_code() {
    local wait=${1:-15} i
    for i in $(seq 1 $((wait * 20))); do
        if [ -s "$PROGRAM_EXIT" ]; then
            tr -d '\r\n' <"$PROGRAM_EXIT"
            return 0
        fi
        sleep 0.05
    done
    echo "still-running"
}

# Ends a program this script started, if it still runs.
stop_program() {
    [ -n "${PROGRAM_PID:-}" ] && [ ! -s "$PROGRAM_EXIT" ] && winctl end "$PROGRAM_PID" >/dev/null
    exit_code 5 >/dev/null
}

# A Unix path as Wine's drive Z: names it.
winpath() { echo "Z:${1//\//\\}"; }

# Writes a value of the program's settings key.
set_setting() { "$WINE" reg add 'HKCU\Software\Korvath\Veltrana' /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1; }
clear_settings() { "$WINE" reg delete 'HKCU\Software\Korvath\Veltrana' /f >/dev/null 2>&1 || true; }

# Waits until a command succeeds (up to $1 seconds).
eventually() {
    local wait=$1 i
    shift
    for i in $(seq 1 $((wait * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# The tray window Wine shows without a desktop tray, and a capture of the icon in its first
# slot (16 x 16 at +2+2), alpha-blended on white, as text: "x,y: (r,g,b)" per pixel.
tray_window() { xdotool search --name '^Wine System Tray$' 2>/dev/null | head -n 1; }
capture_icon() {
    local out=$1 window
    window=$(tray_window) || return 1
    [ -n "$window" ] || return 1
    import -window "$window" "$out.full.png" 2>/dev/null || return 1
    convert "$out.full.png" -crop 16x16+2+2 +repage "$out" 2>/dev/null
}
# The pixel (x, y) of a captured icon as "r,g,b" (0-255).
pixel() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null
}
