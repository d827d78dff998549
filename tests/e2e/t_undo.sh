# A boost whose program was ended from outside (End task, a crash, a power cut): the next start,
# or "-restore" from RunOnce at the next logon, undoes it; a "-restore" that Windows refuses says
# so and leaves the record to the next start. And Start with Windows, chosen in the menu. (What a
# replay does with each kind of record is the Windows tier's boost_test.)
. "$(dirname "$0")/lib.sh"

engaged() { # by the scheme switch (0) or the raised minimum state (1)
    if [ "$1" = 0 ]; then active_is high-performance; else
        store dump | grep -q '^scheme .* balanced ac 100 dc 100$'
    fi
}
prepare() { prepare_balanced "$1"; }
# Starts the program, engages Full Throttle and ends the process as Task Manager does.
boost_and_kill() {
    start_program && winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null && eventually 5 engaged "$1" &&
        winctl end "$PROGRAM_PID" >/dev/null && [ "$(exit_code 10)" = 1 ]
}
# "-restore" run to its end, as Windows runs it from RunOnce: the value is deleted first. Its
# exit code, and " window" if it showed one.
restore() {
    clear_startup_value "$RUN_ONCE"
    launch -restore && exit_code 15
    [ ! -s "$PROGRAM_EXIT.window" ] || echo " window"
}
starts_without_key() { start_program && no_settings_key; }
as_before() { settings_as_before && nothing_to_undo; }
killed_boost_stays() { boost_and_kill "$1" && engaged "$1" && restore_due; }
# With Start with Windows on, Windows starts the program at the next logon, which replays the
# record: no RunOnce value is written.
record_left() { [ -n "$(setting boost::undo)" ]; }
no_run_once() { [ -z "$(startup_value "$RUN_ONCE")" ]; }
killed_boost_stays_started() { boost_and_kill "$1" && engaged "$1" && record_left && no_run_once; }
starts_as_before() { start_program && as_before; }
restores_as_before() { [ "$(restore)" = 0 ] && as_before; }
# "-restore" never writes the RunOnce value it was run from.
refused_record_kept() { [ "$(restore)" = 5 ] && record_left && no_run_once; }

prepare 0 && clear_settings
check "a start with no settings and no boost creates no settings key" starts_without_key
exit_program
check "and neither does its end" no_settings_key

# The program starts with Windows in the first case; in the second "-restore" runs at the next
# logon, once refused (the switch back) and then left to the next start, once done.
for method in 0 1; do
    for restart in start -restore; do
        name="method $method, killed, then $restart"
        prepare $method
        [ $restart = -restore ] || setup "$WINE" reg add "$RUN" /v Veltrana /d "\"$(winpath "$E2E_STAGE/veltrana.exe")\"" /f
        before=$(settings_of_store)
        if [ $restart = start ]; then
            check "$name: the boost and its record stay, with no RunOnce value" killed_boost_stays_started $method
            clear_startup_value "$RUN"
            check "$name: the next start restores every setting" starts_as_before
            exit_program
            continue
        fi
        check "$name: the boost stays, its record and a RunOnce restore are there" killed_boost_stays $method
        if [ $method = 0 ]; then
            set_store fail PowerSetActiveScheme 5
            check "$name: refused, -restore ends with 5, keeps the record and writes no RunOnce value" \
                refused_record_kept
            set_store clear-fails
            check "$name: the next start restores every setting" starts_as_before
            exit_program
        else
            check "$name: -restore restores every setting and ends with 0 and no window" restores_as_before
        fi
    done
done

# A record whose program still runs (the same user in another session) is left to it.
left_alone() {
    local result
    result=$(restore)
    [ "$result" = 0 ] || echo "    -restore: \"$result\""
    [ "$result" = 0 ] && engaged 0 && record_left
}
prepare 0
before=$(settings_of_store)
start_program && winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null && eventually 5 engaged 0
check "-restore leaves a running program's boost alone" left_alone
exit_program
check "which that program undoes as it ends" as_before

# Start with Windows: the Run value holds the quoted path of this very program, here from a
# folder whose name has a space, and the menu item's check mark follows it. Turned off in Task
# Manager (a flag of its own beside the Run value), it shows unchecked, and choosing it turns
# it on again.
setup mkdir -p "$E2E_WORK/with space"
setup cp "$E2E_STAGE/veltrana.exe" "$E2E_WORK/with space/"
APPROVED='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run'
runs_at_logon() { [ "$(startup_value "$RUN")" = "\"$(winpath "$E2E_WORK/with space/veltrana.exe")\"" ]; }
not_at_logon() { [ -z "$(startup_value "$RUN")" ]; }
approved_again() { runs_at_logon && absent "$APPROVED" /v Veltrana; }
mark_is() { mark_column $SETTINGS && { same_picture "$E2E_WORK/column.png" "$E2E_WORK/off.png"; [ $? = "$1" ]; }; }
turned() { choose "$START_WITH_WINDOWS" && eventually 5 "$1" && mark_is "$2"; }
prepare 0
E2E_STAGE=$E2E_WORK/with\ space start_program
mark_column $SETTINGS && cp "$E2E_WORK/column.png" "$E2E_WORK/off.png"
check "Start with Windows, chosen in the menu, writes the quoted path and shows a check mark" turned runs_at_logon 1
check "chosen again, it removes the value and the mark" turned not_at_logon 0
exit_program
setup "$WINE" reg add "$RUN" /v Veltrana /d "\"$(winpath "$E2E_WORK/with space/veltrana.exe")\"" /f
setup "$WINE" reg add "$APPROVED" /v Veltrana /t REG_BINARY /d 0700000071C933AE16D9D101 /f
E2E_STAGE=$E2E_WORK/with\ space start_program
check "turned off in Task Manager, it shows no check mark" mark_is 0
restore_of_copy() { [ "$(startup_value "$RUN_ONCE")" = "\"$(winpath "$E2E_WORK/with space/veltrana.exe")\" -restore" ]; }
winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null
check "so a boost writes the RunOnce restore" eventually 5 restore_of_copy
check "chosen, it turns the entry on again for Task Manager too" turned approved_again 1
check "and the RunOnce restore goes, the program starting with Windows" no_run_once
exit_program
clear_startup_value "$RUN"
