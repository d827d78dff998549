# Shared by the end-to-end scripts: the real program under Wine with the stand-in POWRPROF in the
# prefix's system folder, winctl to start it and talk to it, the power store and the screen.
# Expects from tests/e2e/run: WINE, WINEPREFIX, DISPLAY, E2E_STAGE (the folder of veltrana.exe),
# E2E_WORK (scratch folder), WINCTL, POWERSIM_CTL.
set -uo pipefail
PROGRAM_PID="" PROGRAM_WINDOW="" PROGRAM_EXIT=$E2E_WORK/none DIALOG="" MENU=""
export WINEDLLOVERRIDES="powrprof,pdh=n,b;mscoree,mshtml=" WINEDEBUG=-all

winctl() { "$WINE" "$WINCTL" "$@" 2>/dev/null | tr -d '\r'; }
# The output of a Wine command that always prints something: right after a program ended (or was
# ended), Wine now and then starts no program for a moment, and an empty answer would read as a
# missing registry value or a wrong dump. Asked again until it prints, for 5 s at most.
answer() {
    local out end=$((${EPOCHREALTIME//[.,]/} + 5000000))
    while out=$("$WINE" "$@" 2>/dev/null | tr -d '\r'); [ -z "$out" ]; do
        [ "${EPOCHREALTIME//[.,]/}" -lt "$end" ] || break
        sleep 0.1
    done
    printf '%s\n' "$out"
}
# The store's dump, which always prints the active scheme.
store() { answer "$POWERSIM_CTL" "$@"; }

# A set-up step (the store's power settings, the program's settings, the startup values): when
# its command fails, the script stops at once, naming the step and what the command printed. A
# wrong "before" state would otherwise show only several checks later, as another failure. The
# output goes to a file: a pipe would also wait for every Wine process the command started.
# A step that fails without a word is made again (twice at most): right after other programs ended,
# Wine now and then does not start a program at all, and every set-up step may be made again.
setup() {
    local log=$E2E_WORK/setup.log status attempt
    for attempt in 1 2 3; do
        "$@" >"$log" 2>&1
        status=$?
        [ "$status" = 0 ] && return 0
        [ ! -s "$log" ] || break
    done
    echo "FAILED: set-up step \"$*\" ended with $status: $(tr -d '\r' <"$log" | tr '\n' ' ')"
    exit 1
}
# The store's set-up commands keep Wine's own messages, which say why a start failed.
set_store() { setup "$WINE" "$POWERSIM_CTL" "$@"; }
# The store without its call counts: what the user's power settings are.
settings_of_store() { store dump | grep -E '^(active|scheme|class1|applied|applied1|value|mode) '; }
active_is() { store dump | grep -q "^active .* $1\$"; }
# Whether the user's power settings are $before again; where not, the lines that differ go to the
# log under the check's line.
settings_as_before() {
    local now
    now=$(settings_of_store)
    [ "$now" = "$before" ] && return 0
    diff <(echo "$before") <(echo "$now") | sed -n 's/^[<>]/    &/p'
    return 1
}

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

# Runs a command until it succeeds, at least once and until $1 seconds have passed.
eventually() {
    local end=$((${EPOCHREALTIME//[.,]/} + $1 * 1000000))
    shift
    until "$@"; do
        [ "${EPOCHREALTIME//[.,]/}" -lt "$end" ] || return 1
        sleep 0.1
    done
}

# A Unix path as Wine's drive Z: names it.
winpath() { echo "Z:${1//\//\\}"; }
# The first line of a file that winctl writes once it is complete.
read_file() { tr -d '\r\n' <"$1"; }

# Starts the program with the given arguments in the background: sets PROGRAM_PID and
# PROGRAM_EXIT, the file its exit code lands in (winctl run writes PROGRAM_EXIT.window when
# the program shows its tray window). A start that fails leaves no PROGRAM_PID: ending it must
# never end an earlier start. When Wine starts nothing (winctl gone without a process id, as
# happens now and then right after a program ended), it is started again, three times at most.
launch() {
    local runner attempt
    PROGRAM_PID=
    for attempt in 1 2 3; do
        # A name no earlier start used: an old start's files would pass for this one's.
        PROGRAM_EXIT=$(mktemp "$E2E_WORK/exit.XXXXXX") || return 1
        "$WINE" "$WINCTL" run "$(winpath "$PROGRAM_EXIT")" "$(winpath "$E2E_STAGE/veltrana.exe")" "$@" >/dev/null 2>&1 &
        runner=$!
        eventually 10 started_or_gone "$runner"
        [ -s "$PROGRAM_EXIT.pid" ] && PROGRAM_PID=$(read_file "$PROGRAM_EXIT.pid") && return 0
        kill -0 "$runner" 2>/dev/null && return 1
        echo "note: Wine started nothing (start $attempt of 3)" >&2
    done
    return 1
}
started_or_gone() { [ -s "$PROGRAM_EXIT.pid" ] || ! kill -0 "$1" 2>/dev/null; }
# Starts it and waits for its tray window: sets PROGRAM_WINDOW too.
start_program() {
    launch "$@" && eventually 15 test -s "$PROGRAM_EXIT.window" && PROGRAM_WINDOW=$(read_file "$PROGRAM_EXIT.window")
}
# The exit code of the last started program once it ended (waits up to $1 seconds).
exit_code() {
    if eventually "$1" test -s "$PROGRAM_EXIT"; then read_file "$PROGRAM_EXIT"; else echo still-running; fi
}
# Ends it with the Exit command (checked), or by force if it does not end.
exit_program() {
    winctl post "$PROGRAM_WINDOW" 273 255 0 >/dev/null # WM_COMMAND IDM_EXIT
    check "Exit ends it with 0" [ "$(exit_code 15)" = 0 ]
    stop_program
}
stop_program() {
    [ -s "$PROGRAM_EXIT" ] || [ -z "$PROGRAM_PID" ] || winctl end "$PROGRAM_PID" >/dev/null
    exit_code 5 >/dev/null
}
# However a script ends, a start of it still running would answer the next script's start with 183.
trap stop_program EXIT

# The program's settings: one value's data, written, or all removed.
# reg query prints the value, or (on stdout, under Wine) that it is missing: never nothing.
setting() { answer reg query 'HKCU\Software\Korvath\Veltrana' /v "$1" | awk -v n="$1" '$1 == n { print $3 }'; }
stored() { [ "$(setting "$1")" = "$2" ]; }
set_setting() { setup "$WINE" reg add 'HKCU\Software\Korvath\Veltrana' /v "$1" /t "$2" /d "$3" /f; }
# Whether a registry key, or one of its values, is missing: reg ends with 1 and says so (on
# stdout, under Wine). A reg that could not start says something else.
absent() {
    local said
    said=$("$WINE" reg query "$@" 2>/dev/null)
    [ $? = 1 ] && [[ $said == *"Unable to find the specified registry"* ]]
}
no_settings_key() { absent 'HKCU\Software\Korvath\Veltrana'; }
# Removing is idempotent: a removal whose command did not run (Wine now and then starts no program
# right after other programs ended) is made again until the key or value is gone.
settings_removed() { "$WINE" reg delete 'HKCU\Software\Korvath\Veltrana' /f >/dev/null 2>&1; no_settings_key; }
clear_settings() { setup eventually 5 settings_removed; }
# The values under HKCU's Run and RunOnce keys that start the program at the next logon.
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run' RUN_ONCE='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'
# Removes the program's value under $1 (RUN or RUN_ONCE), and checks that it is gone.
value_removed() { "$WINE" reg delete "$1" /v Veltrana /f >/dev/null 2>&1; absent "$1" /v Veltrana; }
clear_startup_value() { setup eventually 5 value_removed "$1"; }
startup_value() { answer reg query "$1" /v Veltrana | sed -n 's/^ *Veltrana *REG_SZ *//p'; }
nothing_to_undo() { [ -z "$(setting boost::undo)$(setting boost::modes)$(startup_value "$RUN_ONCE")" ]; }
# An undo record, and the RunOnce value that runs "-restore" of this program at the next logon.
restore_due() {
    [ -n "$(setting boost::undo)" ] &&
        [ "$(startup_value "$RUN_ONCE")" = "\"$(winpath "$E2E_STAGE/veltrana.exe")\" -restore" ]
}

# Balanced at 5/0 and active, the boost method given stored, nothing to undo.
prepare_balanced() {
    set_store reset
    set_store preset balanced 5 0
    set_store activate balanced
    clear_settings
    clear_startup_value "$RUN_ONCE"
    set_setting mode REG_DWORD "$1"
}

# ---- the screen as a user sees it: the tray icon, the tray menu, and text read by OCR

# Wine's tray window without a desktop tray, and the icon in its first slot (16 x 16 at +2+2)
# alpha-blended on white. Wine's tray draws a changed icon over the old picture, so the window
# is repainted from a cleared background first.
tray_window() { xdotool search --name '^Wine System Tray$' 2>/dev/null | head -n 1; }
capture_icon() {
    local window
    window=$(tray_window)
    [ -n "$window" ] && winctl redraw-tray >/dev/null && import -window "$window" "$1.full.png" 2>/dev/null &&
        convert "$1.full.png" -crop 16x16+2+2 +repage "$1" 2>/dev/null
}
# Whether the captured icon has a pixel darker than light grey (a blank slot is white).
painted() { [ "$(convert "$1" -format '%[fx:minima.r < 0.9 ? 1 : 0]' info: 2>/dev/null)" = 1 ]; }
same_picture() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }

# Popup menus: the visible unnamed windows that are not at the screen's corner, newest last,
# as "id x y width height".
menu_windows() {
    local w
    for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        [ -z "$(xdotool getwindowname "$w" 2>/dev/null)" ] || continue
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" && [ "$X $Y" != "0 0" ] &&
            echo "$w $X $Y $WIDTH $HEIGHT"
    done | sort -n
}
no_menu_open() { [ -z "$(menu_windows)" ]; }
newest_menu() { read -r MENU MENU_X MENU_Y _ < <(menu_windows | tail -n 1) && [ -n "$MENU" ]; }

# The middle of the tray icon, in screen coordinates.
icon_point() {
    local window
    window=$(tray_window)
    [ -n "$window" ] && eval "$(xdotool getwindowgeometry --shell "$window")" && echo "$((X + 10)) $((Y + 10))"
}

# The pointer comes to rest on the icon from an empty part of the tray, so the shell shows the tip
# anew with its current text; the tooltip is then the newest unnamed window on the screen, read
# by OCR. Wine's tray hides a tip only when the pointer moves within the tray off the icon: taken
# out of the tray, it leaves the tip as it was, and once the tip has timed out it shows none.
away() {
    local window X Y WIDTH HEIGHT
    window=$(tray_window) && eval "$(xdotool getwindowgeometry --shell "$window")" &&
        xdotool mousemove $((X + WIDTH - 2)) $((Y + HEIGHT / 2)) && eventually 2 no_menu_open
}
hover_icon() { away && xdotool mousemove $(icon_point); }
# Whether the tooltip reads every phrase given.
tip_reads() { hover_icon && eventually 3 newest_menu && shows_phrases "$MENU" eng "$@"; }

# Right-clicks the icon as a user does and waits for the menu to be drawn (its loop then runs
# and has taken the pointer's arrival, so only the keys sent next move the selection): sets
# MENU, MENU_X and MENU_Y.
menu_drawn() {
    newest_menu && import -window "$MENU" "$E2E_WORK/menu.png" 2>/dev/null &&
        [ "$(convert "$E2E_WORK/menu.png" -format '%[fx:mean > 0.7 && minima.r < 0.5]' info: 2>/dev/null)" = 1 ]
}
open_tray_menu() {
    local point
    point=$(icon_point) && xdotool mousemove $point click 3 && eventually 5 menu_drawn
}
# The check-mark column (the left 18 pixels, whole height) of the tray menu, or of the submenu
# that the keys given open, once drawn (two equal captures on the light menu background, with
# some mark in it) into $E2E_WORK/column.png; the menu is closed again.
mark_column() {
    local picture=$E2E_WORK/column.png previous=$E2E_WORK/previous.png escapes=$VK_ESCAPE shown
    rm -f "$previous"
    drawn() {
        newest_menu && import -window "$MENU" -crop 18x2000+0+0 +repage "$picture" 2>/dev/null &&
            [ "$(convert "$picture" -format '%[fx:mean > 0.7 && minima.r < 0.5]' info: 2>/dev/null)" = 1 ] &&
            [ -f "$previous" ] && same_picture "$picture" "$previous" || { cp "$picture" "$previous"; false; }
    }
    open_tray_menu || return 1
    [ $# -eq 0 ] || { winctl keys "$PROGRAM_WINDOW" "$@" >/dev/null && escapes="$VK_ESCAPE $VK_ESCAPE"; }
    eventually 5 drawn
    shown=$?
    menu_keys $escapes && return $shown
}
# Keys for the open menu. They are posted to the tray window: the menu's modal loop reads the
# keyboard messages of its owner's thread (X key events need a focus that Wine's menu never got).
VK_END=0x23 VK_UP=0x26 VK_DOWN=0x28 VK_RIGHT=0x27 VK_RETURN=0x0D VK_ESCAPE=0x1B
# Counted from the ends of the menu, which the watch list's entries do not move.
ADD_PROGRAM="$VK_END $VK_UP $VK_UP $VK_UP $VK_RETURN"
SETTINGS="$VK_END $VK_UP $VK_UP $VK_RIGHT" # opens the submenu on its first item
BORDERS="$SETTINGS $VK_DOWN $VK_DOWN $VK_DOWN $VK_RETURN"
FREQUENCY_COLOUR="$SETTINGS $VK_DOWN $VK_DOWN $VK_DOWN $VK_DOWN $VK_DOWN $VK_RETURN"
ENGLISH="$SETTINGS $VK_END $VK_UP $VK_UP $VK_RETURN" # separators are skipped
CZECH="$SETTINGS $VK_END $VK_UP $VK_RETURN"
START_WITH_WINDOWS="$SETTINGS $VK_END $VK_RETURN"
EXIT="$VK_END $VK_RETURN"
menu_keys() { winctl keys "$PROGRAM_WINDOW" "$@" >/dev/null && eventually 5 no_menu_open; }
# Chooses a tray menu item: the right-click, then the keys (one of the lists above). Under
# Wine, about once in twenty runs a choice did not go through and the menu stayed open: it is
# then closed and the item chosen once more. Every caller checks what the item did.
choose() {
    open_tray_menu && menu_keys $1 && return 0
    menu_keys $VK_ESCAPE $VK_ESCAPE
    open_tray_menu && menu_keys $1
}

# The program's dialog whose title starts with $1, waited for: sets DIALOG.
find_dialog() { DIALOG=$(winctl dialog "$PROGRAM_PID" "$1" 10000) && [ -n "$DIALOG" ]; }

# Whether a window shows every phrase, read by OCR at three times the size (LANGS: tesseract's,
# e.g. eng or ces+eng) and compared allowing for a few misread letters.
shows_phrases() {
    local window=$1 langs=$2 picture=$E2E_WORK/ocr.$RANDOM.png
    shift 2
    import -window "$window" "$picture" 2>/dev/null || return 1
    convert "$picture" -scale 300% -colorspace gray "$picture" &&
        tesseract "$picture" - -l "$langs" --psm 6 2>/dev/null | python3 "$(dirname "${BASH_SOURCE[0]}")/fuzzy.py" "$@"
}
