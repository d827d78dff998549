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
# slot (16 x 16 at +2+2), alpha-blended on white. Wine's tray draws a changed icon over the
# old picture, so the window is repainted from a cleared background first.
tray_window() { xdotool search --name '^Wine System Tray$' 2>/dev/null | head -n 1; }
capture_icon() {
    local out=$1 window
    window=$(tray_window) || return 1
    [ -n "$window" ] || return 1
    winctl redraw-tray >/dev/null
    import -window "$window" "$out.full.png" 2>/dev/null || return 1
    convert "$out.full.png" -crop 16x16+2+2 +repage "$out" 2>/dev/null
}
# The pixel (x, y) of a captured icon as "r,g,b" (0-255).
pixel() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null
}

# ---- the screen as a user sees it: windows, popup menus, and text read by OCR

# Visible top-level windows as "id x y width height name" lines.
visible_windows() {
    local w
    for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
        echo "$w $X $Y $WIDTH $HEIGHT $(xdotool getwindowname "$w" 2>/dev/null)"
    done
}

# Popup menus are the unnamed windows smaller than the screen; the newest is printed last.
menu_windows() { visible_windows | awk 'NF == 5 && !($2 == 0 && $3 == 0)' | sort -n; }
no_menu_open() { [ -z "$(menu_windows)" ]; }

# The middle of the tray icon, in screen coordinates.
icon_point() {
    local window
    window=$(tray_window)
    [ -n "$window" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$window")"
    echo "$((X + 10)) $((Y + 10))"
}

# Right-clicks the icon and waits for the tray menu: sets MENU (window id), MENU_X, MENU_Y.
open_tray_menu() {
    local point i line
    point=$(icon_point) || return 1
    xdotool mousemove $point click 3
    for i in $(seq 1 40); do
        line=$(menu_windows | tail -n 1)
        if [ -n "$line" ]; then
            read -r MENU MENU_X MENU_Y _ <<<"$line"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Closes any open menu by clicking on the empty desktop.
close_menus() {
    menu_windows | grep -q . || return 0
    xdotool mousemove 1100 150 click 1
    eventually 3 no_menu_open
}

# The words a window shows, read by OCR at three times the size: "x y word" per line, with
# (x, y) the word's middle in screen coordinates. LANGS: tesseract's, e.g. eng or ces+eng;
# PSM its page segmentation: 6 (one block) suits menus, 11 (sparse text) dialogs.
ocr_words() {
    local window=$1 langs=${2:-eng} psm=${3:-6} picture=$E2E_WORK/ocr.$RANDOM
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -window "$window" "$picture.png" 2>/dev/null || return 1
    convert "$picture.png" -scale 300% -colorspace gray "$picture.big.png"
    tesseract "$picture.big.png" "$picture" -l "$langs" --psm "$psm" tsv >/dev/null 2>&1 || return 1
    awk -F'\t' -v x0="$X" -v y0="$Y" 'NR > 1 && $12 != "" && $11 > 30 {
        printf "%d %d %s\n", x0 + ($7 + $9 / 2) / 3, y0 + ($8 + $10 / 2) / 3, $12 }' "$picture.tsv"
}
ocr_text() {
    local picture=$E2E_WORK/ocr.$RANDOM
    import -window "$1" "$picture.png" 2>/dev/null || return 1
    convert "$picture.png" -scale 300% -colorspace gray "$picture.big.png"
    tesseract "$picture.big.png" - -l "${2:-eng}" --psm 6 2>/dev/null
}

# Whether a window shows every phrase (OCR-tolerant).
shows_phrases() {
    local window=$1 langs=$2
    shift 2
    ocr_text "$window" "$langs" | python3 "$(dirname "${BASH_SOURCE[0]}")/fuzzy.py" "$@"
}

# Clicks the first word of a window whose text matches an extended regular expression and,
# when NEXT is given, whose following word matches NEXT ("frequency" then "color").
click_word() {
    local window=$1 langs=$2 pattern=$3 psm=${4:-6} next=${5:-} x y word
    local previous=""
    while read -r x y word; do
        if [ -n "$next" ]; then
            if [ -n "$previous" ] && grep -qiE "$next" <<<"$word"; then
                xdotool mousemove $previous click 1
                return 0
            fi
            previous=""
            grep -qiE "$pattern" <<<"$word" && previous="$x $y"
        elif grep -qiE "$pattern" <<<"$word"; then
            xdotool mousemove "$x" "$y" click 1
            return 0
        fi
    done < <(ocr_words "$window" "$langs" "$psm")
    return 1
}

# Chooses an item of the tray menu's Settings submenu: opens the menu, opens Settings, clicks
# the item's word (PATTERN, and NEXT for the word after it where one word is not enough).
choose_setting() {
    local langs=$1 settings=$2 pattern=$3 next=${4:-} submenu="" i
    open_tray_menu || return 1
    click_word "$MENU" "$langs" "$settings" || return 1
    for i in $(seq 1 30); do
        submenu=$(menu_windows | awk -v menu="$MENU" '$1 != menu { print $1 }' | tail -n 1)
        [ -n "$submenu" ] && break
        sleep 0.1
    done
    [ -n "$submenu" ] || return 1
    sleep 0.3 # let it draw
    click_word "$submenu" "$langs" "$pattern" 6 "$next"
}

# The window whose name is exactly the given text, waited for.
window_named() {
    local i id
    for i in $(seq 1 50); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
