# Start, single instance, "-terminate" and a missing power function, as a user's session sees
# them; exit codes whole, through winctl.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/../../scripts/lib/wine.sh"
set_store reset
clear_settings

# Runs the program to its end (15 s at most); prints its exit code, and "window" when it showed
# a tray window meanwhile. Called in a subshell, it leaves the first instance's variables alone.
run_to_end() {
    launch "$@" && exit_code 15
    [ ! -s "$PROGRAM_EXIT.window" ] || echo " window"
    stop_program
}
icon_shown() { capture_icon "$E2E_WORK/icon.png" && painted "$E2E_WORK/icon.png"; }
icon_gone() { ! icon_shown; }

check "-terminate with no instance running ends with 0" [ "$(run_to_end -terminate)" = 0 ]
check "-Terminate starts the program (a powrprof.dll beside it is not loaded)" start_program -Terminate
check "its icon shows in Wine's system tray" eventually 10 icon_shown
for arguments in "" "-Terminate" "other -terminate" "-terminate2"; do
    check "a second start with \"$arguments\" ends with 183 and no window" \
        [ "$(run_to_end $arguments)" = 183 ]
done
check "the first instance keeps running" [ "$(exit_code 0)" = still-running ]
check "-terminate ends with 0" [ "$(run_to_end -terminate)" = 0 ]
check "and the running instance ends with 0" [ "$(exit_code 15)" = 0 ]
check "its icon is gone from the tray" eventually 10 icon_gone
stop_program

# Without the scheme functions: Wine's own POWRPROF lacks four, the stand-in's variant one.
ends_with_127() { [ "$(run_to_end)" = 127 ]; }
WINEDLLOVERRIDES="powrprof=b" check "with Wine's own POWRPROF it ends with 127 before any window" ends_with_127
setup wine_install_powrprof "$WINEPREFIX" "$E2E_PRESET" "$E2E_BUILD/powersim-no-get-active/powrprof.dll"
check "without PowerGetActiveScheme it ends with 127 before any window" ends_with_127
setup wine_install_powrprof "$WINEPREFIX" "$E2E_PRESET"
check "with the stand-in back it starts" start_program
# Posted messages are handled in order: had one of the first three ended it, the code would differ.
winctl post "$PROGRAM_WINDOW" 273 $((0x10000 | 255)) 0 # WM_COMMAND, not Exit: a high word
winctl post "$PROGRAM_WINDOW" 0x8000 2 0x7B              # another icon's WM_CONTEXTMENU
winctl post "$PROGRAM_WINDOW" 0x219 0x8000 0             # WM_DEVICECHANGE
winctl post "$PROGRAM_WINDOW" 16 42 0                    # WM_CLOSE
check "foreign commands and messages leave it running; anyone's WM_CLOSE ends it with its wParam" \
    [ "$(exit_code 15)" = 42 ]
stop_program
