# The boost by either method, also on a machine without High Performance, and the user's power
# settings exactly as before after each way the program can end: Exit, "-terminate" and the end
# of the logon session; no undo record and no restore at the next logon left behind. Where
# Windows refuses the release, the record and the restore stay, and the next start finishes it.
. "$(dirname "$0")/lib.sh"

engaged() { # method, machine
    local dump
    dump=$(store dump)
    if [ "$1" = 0 ] && [ "$2" = hp ]; then # without High Performance the minimum state is raised instead
        grep -q '^active .* high-performance$' <<<"$dump"
    else
        grep -q '^scheme .* balanced ac 100 dc 100$' <<<"$dump" && grep -q '^applied .* balanced ac 100 dc 100$' <<<"$dump"
    fi
}
wrote_no_ac() { store dump | grep -q '^calls PowerWriteACValueIndex 0$'; }
starts_as_before() { start_program && [ "$(settings_of_store)" = "$before" ] && nothing_to_undo; }

# method: the stored "mode"; machine: hp, or no-hp-N without High Performance, where reading a
# missing scheme fails with N; refused: the power call that fails with 5 at the release (- none);
# ending: exit, terminate or session.
while read -r method machine refused ending <&3; do
    name="method $method, $machine, ended by $ending"
    [ "$refused" = - ] || name="$name, $refused refused"
    set_store reset
    if [ "$machine" != hp ]; then
        set_store remove high-performance
        set_store missing-read "${machine#no-hp-}"
    fi
    set_store preset balanced 5 0
    set_store activate balanced
    clear_settings
    clear_startup_value "$RUN_ONCE"
    set_setting mode REG_DWORD "$method"
    before=$(settings_of_store)
    if ! check "$name: starts" start_program; then
        stop_program
        continue
    fi
    winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null # WM_COMMAND Full Throttle
    check "$name: Full Throttle engages the boost" eventually 5 engaged "$method" "$machine"
    [ "$refused" = - ] || set_store fail "$refused" 5
    expected=0
    case $ending in
    exit) winctl post "$PROGRAM_WINDOW" 273 255 0 >/dev/null ;;
    terminate) timeout 15 "$WINE" "$E2E_STAGE/veltrana.exe" -terminate >/dev/null 2>&1 ;;
    session)
        answer=$(winctl send "$PROGRAM_WINDOW" 17 0 0) # WM_QUERYENDSESSION
        check "$name: the session may end" [ "$answer" = 1 ]
        [ "$refused" != - ] || check "$name: released before answering" [ "$(settings_of_store)" = "$before" ]
        expected=1115
        ;;
    esac
    check "$name: exit code $expected" [ "$(exit_code 15)" = "$expected" ]
    if [ "$refused" = - ]; then
        check "$name: power settings exactly as before" [ "$(settings_of_store)" = "$before" ]
        check "$name: no undo record, no restore at the next logon" nothing_to_undo
    else
        check "$name: the undo record and the restore at the next logon stay" restore_due
        set_store clear-fails
        set_store clear-calls
        check "$name: the next start restores every setting" starts_as_before
        [ "$refused" != PowerWriteDCValueIndex ] ||
            check "$name: and writes nothing the release put back" wrote_no_ac
        exit_program
    fi
    stop_program
done 3<<'ROWS'
0 hp       -                      exit
0 hp       -                      terminate
0 hp       -                      session
1 hp       -                      exit
1 hp       -                      terminate
1 hp       -                      session
0 no-hp-2  -                      exit
0 no-hp-2  -                      terminate
0 no-hp-2  -                      session
0 no-hp-87 -                      exit
0 hp       PowerSetActiveScheme   exit
0 hp       PowerSetActiveScheme   session
1 hp       PowerWriteDCValueIndex exit
1 hp       PowerWriteDCValueIndex session
ROWS

# High Performance there but refusing to become active: no boost by any other means.
set_store reset
set_store fail PowerSetActiveScheme 5
clear_settings
before=$(settings_of_store)
check "with High Performance's activation failing: starts" start_program
winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null
# The engage ends by looking for High Performance among the schemes.
switch_tried() { store dump | grep -Eq '^calls PowerEnumerate [1-9]'; }
check "Full Throttle tries the switch" eventually 5 switch_tried
check "and engages nothing" [ "$(settings_of_store)" = "$before" ]
exit_program
