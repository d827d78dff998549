# A program added through the real open-file dialog is stored; it boosts while it runs, and its
# menu entry carries a check mark meanwhile.
. "$(dirname "$0")/lib.sh"
set_store reset
clear_settings

game=$E2E_WORK/Racer.exe
setup cp "$(dirname "$WINCTL")/../tests/watcher/watch_sleeper.exe" "$game"

# The menu's check-mark column: the watch list's entry row is the only one in it that changes
# (the bold default item, which changes with the boost, is right of it).
marked() { mark_column && ! same_picture "$E2E_WORK/column.png" "$E2E_WORK/unmarked.png"; }
unmarked() { mark_column && same_picture "$E2E_WORK/column.png" "$E2E_WORK/unmarked.png"; }

check "the program starts" start_program
check "Add program… is chosen in the menu" choose "$ADD_PROGRAM"
check "it opens the open-file dialog" find_dialog "Select EXE of program to add to list"
check "the program's path is entered in its file name box" winctl set-text "$DIALOG" 0x47C "$(winpath "$game")"
check "its Open button is pressed" winctl press "$DIALOG" 1 # IDOK
check "the chosen program is stored, enabled" eventually 5 stored 'program#0::enabled' 0x1
check "with its full path" stored 'program#0' "$(winpath "$game")"
mark_column && cp "$E2E_WORK/column.png" "$E2E_WORK/unmarked.png"

"$WINE" "$WINCTL" run "$(winpath "$E2E_WORK/game")" "$(winpath "$game")" >/dev/null 2>&1 &
check "the boost engages when the program starts" eventually 5 active_is high-performance
check "its entry carries a check mark meanwhile" marked
eventually 5 test -s "$E2E_WORK/game.pid" && winctl end "$(read_file "$E2E_WORK/game.pid")"
check "the boost is released when it ends" eventually 5 active_is balanced
check "and the check mark is gone" unmarked
exit_program
