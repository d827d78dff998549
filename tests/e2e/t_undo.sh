# A boost whose program was ended from outside (End task, a crash, a power cut): the next start,
# or "-restore" from RunOnce at the next logon, undoes it without overriding what the user did
# since. And Start with Windows, chosen in the menu.
. "$(dirname "$0")/lib.sh"

engaged() { # by the scheme switch (0) or the raised minimum state (1)
    if [ "$1" = 0 ]; then active_is high-performance; else
        store dump | grep -q '^scheme .* balanced ac 100 dc 100$'
    fi
}
# Balanced at 5/0 and active, the method stored, nothing to undo.
prepare() {
    set_store reset
    set_store preset balanced 5 0
    set_store activate balanced
    clear_settings
    clear_startup_value "$RUN_ONCE"
    set_setting mode REG_DWORD "$1"
}
# Starts the program, engages Full Throttle and ends the process as Task Manager does.
boost_and_kill() {
    start_program && winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null && eventually 5 engaged "$1" &&
        winctl end "$PROGRAM_PID" >/dev/null && [ "$(exit_code 10)" = 1 ]
}
restore_due() {
    [ -n "$(setting boost::undo)" ] &&
        [ "$(startup_value "$RUN_ONCE")" = "\"$(winpath "$E2E_STAGE/veltrana.exe")\" -restore" ]
}
# "-restore" run to its end: its exit code, and " window" if it showed one.
restore() {
    launch -restore && exit_code 15
    [ ! -s "$PROGRAM_EXIT.window" ] || echo " window"
}
starts_without_key() { start_program && no_settings_key; }
as_before() { [ "$(settings_of_store)" = "$before" ] && nothing_to_undo; }
killed_boost_stays() { boost_and_kill "$1" && engaged "$1" && restore_due; }
starts_as_before() { start_program && as_before; }
restores_as_before() { [ "$(restore)" = 0 ] && as_before; }

prepare 0 && clear_settings
check "a start with no settings and no boost creates no settings key" starts_without_key
exit_program
check "and neither does its end" no_settings_key

for method in 0 1; do
    for restart in start -restore; do
        name="method $method, killed, then $restart"
        prepare $method
        before=$(settings_of_store)
        check "$name: the boost stays, its record and a RunOnce restore are there" killed_boost_stays $method
        if [ $restart = start ]; then
            check "$name: the next start restores every setting" starts_as_before
            exit_program
        else
            check "$name: -restore restores every setting and ends with 0 and no window" restores_as_before
        fi
    done
    # The user's own choice between the kill and the start stays: Power saver, or 50 %.
    prepare $method
    boost_and_kill $method
    if [ $method = 0 ]; then
        set_store activate power-saver
    else
        set_store preset balanced 50 50
        set_store activate balanced
    fi
    before=$(settings_of_store)
    check "method $method: what the user chose after the kill is kept" starts_as_before
    exit_program
done

# A restore that fails stays for the next start; the program runs meanwhile.
failed_restore_stays() { start_program && restore_due && active_is high-performance; }
prepare 0
before=$(settings_of_store)
boost_and_kill 0
set_store fail PowerSetActiveScheme 5
check "a failed restore keeps the record, and the program runs" failed_restore_stays
exit_program
set_store clear-fails
check "the next start restores" starts_as_before
exit_program

# A record whose program still runs (the same user in another session) is left to it.
left_alone() { [ "$(restore)" = 0 ] && engaged 0 && restore_due; }
prepare 0
before=$(settings_of_store)
start_program && winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null && eventually 5 engaged 0
check "-restore leaves a running program's boost alone" left_alone
exit_program
check "which that program undoes as it ends" as_before

# Records naming a scheme that is gone, or malformed (another type, 3 bytes, an unknown
# version), are deleted and ignored, and start-up goes on. Each would switch away from High
# Performance if it were taken.
# version, method 0, the scheme, no saved values, no process, no start time: 44 bytes.
record() { echo "${1}00000000${2}FFFFFFFFFFFFFFFF000000000000000000000000"; }
balanced=22421B3894F6F0419685FF5BB260DF2E
for bad in "REG_BINARY $(record 01000000 11111111111111111111111111111111)" "REG_DWORD 1" \
    "REG_BINARY 010203" "REG_BINARY $(record 02000000 $balanced)"; do
    prepare 0
    set_store activate high-performance
    before=$(settings_of_store)
    set_setting boost::undo $bad
    check "a record ${bad:0:22}… is deleted and changes nothing" starts_as_before
    exit_program
done

# Start with Windows: the Run value holds the quoted path of this very program, here from a
# folder whose name has a space, and the menu item's check mark follows it.
setup mkdir -p "$E2E_WORK/with space"
setup cp "$E2E_STAGE/veltrana.exe" "$E2E_WORK/with space/"
runs_at_logon() { [ "$(startup_value "$RUN")" = "\"$(winpath "$E2E_WORK/with space/veltrana.exe")\"" ]; }
not_at_logon() { [ -z "$(startup_value "$RUN")" ]; }
mark_is() { mark_column $SETTINGS && { same_picture "$E2E_WORK/column.png" "$E2E_WORK/off.png"; [ $? = "$1" ]; }; }
turned() { choose "$START_WITH_WINDOWS" && eventually 5 "$1" && mark_is "$2"; }
prepare 0
E2E_STAGE=$E2E_WORK/with\ space start_program
mark_column $SETTINGS && cp "$E2E_WORK/column.png" "$E2E_WORK/off.png"
check "Start with Windows, chosen in the menu, writes the quoted path and shows a check mark" turned runs_at_logon 1
check "chosen again, it removes the value and the mark" turned not_at_logon 0
exit_program
clear_startup_value "$RUN"
