# The boost by either method, also on a machine without High Performance, and the user's power
# settings exactly as before after each way the program can end: Exit, "-terminate" and the end
# of the logon session; no undo record and no restore at the next logon left behind.
. "$(dirname "$0")/lib.sh"

engaged() {
    local dump
    dump=$(store dump)
    if [ "$1" = 0 ]; then # without High Performance (0-no-hp) the minimum state is raised instead
        grep -q '^active .* high-performance$' <<<"$dump"
    else
        grep -q '^scheme .* balanced ac 100 dc 100$' <<<"$dump" && grep -q '^applied .* balanced ac 100 dc 100$' <<<"$dump"
    fi
}

for method in 0 1 0-no-hp; do
    for ending in exit terminate session; do
        name="method $method, ended by $ending"
        set_store reset
        [ "$method" = 0 ] || set_store remove high-performance
        set_store preset balanced 5 0
        set_store activate balanced
        clear_settings
        set_setting mode REG_DWORD "${method%-no-hp}"
        before=$(settings_of_store)
        if ! check "$name: starts" start_program; then
            stop_program
            continue
        fi
        winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null # WM_COMMAND Full Throttle
        check "$name: Full Throttle engages the boost" eventually 5 engaged "$method"
        expected=0
        case $ending in
        exit) winctl post "$PROGRAM_WINDOW" 273 255 0 >/dev/null ;;
        terminate) timeout 15 "$WINE" "$E2E_STAGE/veltrana.exe" -terminate >/dev/null 2>&1 ;;
        session)
            answer=$(winctl send "$PROGRAM_WINDOW" 17 0 0) # WM_QUERYENDSESSION
            check "$name: the session may end" [ "$answer" = 1 ]
            check "$name: released before answering" [ "$(settings_of_store)" = "$before" ]
            expected=1115
            ;;
        esac
        check "$name: exit code $expected" [ "$(exit_code 15)" = "$expected" ]
        check "$name: power settings exactly as before" [ "$(settings_of_store)" = "$before" ]
        check "$name: no undo record, no restore at the next logon" nothing_to_undo
        stop_program
    done
done

# High Performance there but refusing to become active: no boost by any other means.
set_store reset
set_store fail PowerSetActiveScheme 5
clear_settings
before=$(settings_of_store)
check "with High Performance's activation failing: starts" start_program
winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null
# The engage ends by reading whether High Performance exists.
switch_tried() { store dump | grep -q '^calls PowerReadACValueIndex 1$'; }
check "Full Throttle tries the switch" eventually 5 switch_tried
check "and engages nothing" [ "$(settings_of_store)" = "$before" ]
exit_program
