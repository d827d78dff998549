# A watched program added through the real open-file dialog boosts while it runs, and its
# menu entry carries a check mark meanwhile.
. "$(dirname "$0")/lib.sh"
store reset
clear_settings

game=$E2E_WORK/Racer.exe
cp "$(dirname "$WINCTL")/../tests/watcher/watch_sleeper.exe" "$game"
active_is() { store dump | grep -q "^active .* $1\$"; }

check "the program starts" start_program
eventually 10 icon_point >/dev/null
open_tray_menu && click_word "$MENU" eng '^program'
dialog=$(window_named 'Select EXE of program to add to list…')
check "Add program… opens the open-file dialog" [ -n "$dialog" ]
if [ -n "$dialog" ]; then
    # The file name box is to the right of its label; the path is typed, then Open pressed
    # with its access key.
    read -r x y _ < <(ocr_words "$dialog" eng 11 | grep -iE ' name:?$' | head -n 1)
    xdotool mousemove $((x + 150)) "$y" click 1
    xdotool type --delay 15 "$(winpath "$game")"
    sleep 0.3
    xdotool key alt+o
fi
stored() { "$WINE" reg query 'HKCU\Software\Korvath\Veltrana' /v 'program#0' 2>/dev/null | tr -d '\r' | grep -qF "$(winpath "$game")"; }
check "the chosen program is on the watch list" eventually 5 stored

# The check-mark column beside the entry (the fifth row of the menu), as a picture.
entry_mark() {
    open_tray_menu || return 1
    local disabled add
    disabled=$(ocr_words "$MENU" eng | awk '$3 ~ /^Disabled$/ { print $2; exit }')
    add=$(ocr_words "$MENU" eng | awk '$3 ~ /^Add$/ { print $2; exit }')
    [ -n "$disabled" ] && [ -n "$add" ] || { close_menus; return 1; }
    local row=$(((disabled + add) / 2 - MENU_Y))
    import -window "$MENU" -crop 22x12+0+$((row - 6)) +repage "$1" 2>/dev/null
    close_menus
}
same_picture() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
check "the entry is unchecked before the program runs" entry_mark "$E2E_WORK/unchecked.png"

"$WINE" "$WINCTL" run "$(winpath "$E2E_WORK/game-exit")" "$(winpath "$game")" >/dev/null 2>&1 &
eventually 5 test -s "$E2E_WORK/game-exit.pid"
game_pid=$(tr -d '\r\n' <"$E2E_WORK/game-exit.pid")
check "the boost engages when the program starts" eventually 5 active_is high-performance
entry_mark "$E2E_WORK/checked.png"
check "its entry carries a check mark meanwhile" bash -c "! [ \"\$(compare -metric AE '$E2E_WORK/checked.png' '$E2E_WORK/unchecked.png' null: 2>&1)\" = 0 ]"
winctl end "$game_pid" >/dev/null
check "the boost is released when it ends" eventually 5 active_is balanced
entry_mark "$E2E_WORK/after.png"
check "and the check mark is gone" same_picture "$E2E_WORK/after.png" "$E2E_WORK/unchecked.png"
winctl post "$PROGRAM_WINDOW" 273 255 0 >/dev/null
check "Exit ends it with 0" [ "$(exit_code 15)" = 0 ]
stop_program
