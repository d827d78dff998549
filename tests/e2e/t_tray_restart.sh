# A restart of the shell's tray: the icon is gone until "TaskbarCreated" is broadcast, then it
# comes back with the picture it last had, not the blank one of the start.
. "$(dirname "$0")/lib.sh"
store reset
clear_settings
set_setting color::active REG_DWORD 0xFF00C000

painted() {
    capture_icon "$E2E_WORK/before.png" &&
        [ "$(convert "$E2E_WORK/before.png" -format '%[fx:minima.r < 0.9 ? 1 : 0]' info: 2>/dev/null)" = 1 ]
}
icon_gone() { ! capture_icon "$E2E_WORK/gone.png" || [ "$(convert "$E2E_WORK/gone.png" -format '%[fx:minima.r < 0.9 ? 1 : 0]' info: 2>/dev/null)" = 0 ]; }
same_as_before() {
    capture_icon "$E2E_WORK/after.png" && painted_again=$(compare -metric AE "$E2E_WORK/before.png" "$E2E_WORK/after.png" null: 2>&1) &&
        [ "$painted_again" = 0 ]
}

check "the program starts" start_program
check "its painted icon shows" eventually 15 painted
winctl tray-delete "$PROGRAM_WINDOW" >/dev/null
check "the tray loses the icon" eventually 5 icon_gone
winctl broadcast TaskbarCreated >/dev/null
# The picture before may have been taken in a busy moment (the activity colour): take it again
# until it matches what the tray shows now.
back() { same_as_before || { painted && same_as_before; }; }
check "\"TaskbarCreated\" brings the icon back with its last picture" eventually 10 back
check "the program keeps running" [ "$(exit_code 0)" = still-running ]
winctl post "$PROGRAM_WINDOW" 273 255 0 >/dev/null
check "Exit ends it with 0" [ "$(exit_code 15)" = 0 ]
stop_program
