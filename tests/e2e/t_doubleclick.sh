# A double-click on the tray icon runs the menu's default item: Automatic -> Full Throttle
# (boosted) -> Automatic (released). The product resets its pair after each double activation,
# so the next two clicks make a new pair.
. "$(dirname "$0")/lib.sh"
set_store reset
clear_settings

double_click() { xdotool mousemove $(icon_point) click --repeat 2 --delay 120 1; }

check "the program starts" start_program
eventually 10 icon_point >/dev/null
double_click
check "a double-click switches to Full Throttle: High Performance is active" eventually 5 active_is high-performance
double_click
check "another double-click returns to Automatic: the previous scheme is back" eventually 5 active_is balanced
exit_program
