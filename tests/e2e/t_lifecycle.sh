# Start, single instance and "-terminate", as a user's session sees them.
. "$(dirname "$0")/lib.sh"
store reset
clear_settings

icon_shown() {
    capture_icon "$E2E_WORK/icon.png" &&
        [ "$(convert "$E2E_WORK/icon.png" -format '%[fx:minima.r < 0.9 ? 1 : 0]' info: 2>/dev/null)" = 1 ]
}

check "the program starts and creates its tray window" start_program
check "its icon shows in Wine's system tray" eventually 10 icon_shown

first_pid=$PROGRAM_PID
first_exit=$PROGRAM_EXIT
"$WINE" "$WINCTL" run "$(winpath "$E2E_WORK/second")" "$(winpath "$E2E_STAGE/veltrana.exe")" >/dev/null 2>&1
check "a second start ends with 183" [ "$(tr -d '\r\n' <"$E2E_WORK/second")" = 183 ]
check "the first instance keeps running" [ -n "$(winctl window "$first_pid" 1000)" ]

"$WINE" "$WINCTL" run "$(winpath "$E2E_WORK/terminate")" "$(winpath "$E2E_STAGE/veltrana.exe")" -terminate \
    >/dev/null 2>&1
check "-terminate ends with 0" [ "$(tr -d '\r\n' <"$E2E_WORK/terminate")" = 0 ]
check "the running instance ends with 0" [ "$(exit_code 15)" = 0 ]
icon_gone() { ! icon_shown; }
check "its icon is gone from the tray" eventually 10 icon_gone
stop_program
