# The tooltip the shell shows over the icon follows the program's state. A restart of the shell's
# tray: the icon is gone until "TaskbarCreated" is broadcast, then it comes back with the picture
# it last had, not the blank one of the start, and with its tooltip.
. "$(dirname "$0")/lib.sh"
set_store reset
clear_settings
set_setting color::active REG_DWORD 0xFF00C000

before=$E2E_WORK/before.png after=$E2E_WORK/after.png
painted_before() { capture_icon "$before" && painted "$before"; }
icon_gone() { ! capture_icon "$after" || ! painted "$after"; }
# The picture before may have been taken in a busy moment (the activity colour): take it again
# until it matches what the tray shows now.
back() { capture_icon "$after" && same_picture "$before" "$after" || { painted_before && false; }; }

check "the program starts" start_program
check "its painted icon shows" eventually 15 painted_before
check "its tooltip tells the mode, the boost and the fastest processor" \
    eventually 15 tip_reads "Veltrana: Automatic, waiting" "Fastest: CPU"
winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null # WM_COMMAND Full Throttle
eventually 5 active_is high-performance
check "and follows Full Throttle" eventually 15 tip_reads "Veltrana: Full Throttle, boosted (High Performance)"
away
eventually 5 painted_before
winctl tray-delete "$PROGRAM_WINDOW" >/dev/null
check "the tray loses the icon" eventually 5 icon_gone
winctl broadcast TaskbarCreated >/dev/null
check "\"TaskbarCreated\" brings the icon back with its last picture" eventually 10 back
check "and with its tooltip" eventually 15 tip_reads "Veltrana: Full Throttle, boosted (High Performance)"
check "the program keeps running" [ "$(exit_code 0)" = still-running ]
exit_program
