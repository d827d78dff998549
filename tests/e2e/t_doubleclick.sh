# A double-click on the tray icon: Automatic -> Full Throttle (boosted) -> Automatic (released).
. "$(dirname "$0")/lib.sh"
store reset
clear_settings

active_is() { store dump | grep -q "^active .* $1\$"; }
double_click() { xdotool mousemove $(icon_point) click --repeat 2 --delay 120 1; }

check "the program starts" start_program
eventually 10 icon_point >/dev/null
double_click
check "a double-click switches to Full Throttle: High Performance is active" eventually 5 active_is high-performance
sleep 1 # longer than the double-click time, so the next two clicks are a new pair
double_click
check "another double-click returns to Automatic: the previous scheme is back" eventually 5 active_is balanced
single_click() { xdotool mousemove $(icon_point) click 1; }
sleep 1
single_click
sleep 1.5
check "a single click changes nothing" active_is balanced
winctl post "$PROGRAM_WINDOW" 273 255 0 >/dev/null
check "Exit ends it with 0" [ "$(exit_code 15)" = 0 ]
stop_program
