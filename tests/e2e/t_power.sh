# The boost by either method, also on a machine without High Performance, and the user's power
# settings exactly as before after each way the program can end: Exit, "-terminate" and the end
# of the logon session; no undo record and no restore at the next logon left behind. Where
# Windows refuses the release, the record and the restore stay, and the next start finishes it;
# while the program runs, it tries again by itself. What the user chooses meanwhile stays, and so
# does another program's switch; a switch made by Windows around sleep is answered.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/../../scripts/lib/wine.sh"

engaged() { # method, machine
    local dump
    dump=$(store dump)
    if [ "$1" = 0 ] && [ "$2" = hp ]; then # without High Performance the minimum state is raised instead
        grep -q '^active .* high-performance$' <<<"$dump"
    else
        grep -q '^scheme .* balanced ac 100 dc 100$' <<<"$dump" && grep -q '^applied .* balanced ac 100 dc 100$' <<<"$dump"
    fi
}
wrote_no_ac() {
    local calls
    calls=$(store dump | sed -n 's/^calls PowerWriteACValueIndex //p')
    [ "$calls" = 0 ] || { echo "    PowerWriteACValueIndex calls: \"$calls\""; false; }
}
starts_as_before() { start_program && settings_as_before && nothing_to_undo; }

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
        [ "$refused" != - ] || check "$name: released before answering" settings_as_before
        expected=1115
        ;;
    esac
    check "$name: exit code $expected" [ "$(exit_code 15)" = "$expected" ]
    if [ "$refused" = - ]; then
        check "$name: power settings exactly as before" settings_as_before
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
check "and engages nothing" settings_as_before
exit_program

# Balanced ready for a boost by the method given, with nothing to undo: sets `before`.
prepare() {
    prepare_balanced "$1"
    before=$(settings_of_store)
}
full_throttle() { start_program && winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null && eventually 5 engaged "$1" hp; }
disabled() { winctl post "$PROGRAM_WINDOW" 273 19 0 >/dev/null; }
kept() { store dump | grep -q "$1" && nothing_to_undo; }

# What the user chooses while boosted stays when the boost ends: another plan (the scheme switch),
# which the program sees at once, or another minimum state in the raised plan (where DC, still
# 100 %, goes back to 0).
no_record() { [ -z "$(setting boost::undo)" ]; }
prepare 0
full_throttle 0
set_store activate power-saver
check "the user chose Power saver while boosted: the program no longer counts on switching back" \
    eventually 5 no_record
disabled
check "and Disabled keeps it" eventually 5 kept '^active .* power-saver$'
exit_program
prepare 1
full_throttle 1
set_store preset balanced 50 100
disabled
check "the user set Balanced to 50 % while boosted: Disabled keeps it" eventually 5 kept '^scheme .* balanced ac 50 dc 0$'
exit_program

# The fast cores' minimum state (efficiency class 1) is raised and restored with the rest, where
# the plan has one.
prepare 1
set_store preset1 balanced 30 20
set_store activate balanced
before=$(settings_of_store)
full_throttle 1
class1_raised() { store dump | grep -q '^class1 .* balanced ac 100 dc 100$'; }
check "class 1's minimum state is raised too" class1_raised
exit_program
check "and restored with the rest" settings_as_before

# A release that Windows refuses is tried again every few seconds, with no menu action; the
# tooltip says so meanwhile.
as_before() { settings_as_before && nothing_to_undo; }
prepare 1
full_throttle 1
set_store fail PowerWriteDCValueIndex 5
disabled
check "a refused release: the tooltip names the refusal" eventually 15 tip_reads "boost not undone (error 5: Access denied)"
set_store clear-fails
check "it is tried again and done within a few seconds" eventually 10 as_before
exit_program

# Windows switches the plan back while the machine sleeps: at resume the boost is in force again.
prepare 0
full_throttle 0
winctl post "$PROGRAM_WINDOW" 0x218 4 0 >/dev/null # WM_POWERBROADCAST PBT_APMSUSPEND
set_store activate balanced
winctl post "$PROGRAM_WINDOW" 0x218 7 0 >/dev/null # PBT_APMRESUMESUSPEND
check "switched back by Windows during sleep: boosted again within a second of the resume" \
    eventually 1 active_is high-performance
exit_program
check "and undone at the end" as_before

# A Windows 11 laptop without High Performance, Balanced on mains and Best power efficiency on
# battery: Full Throttle's fallback makes both power modes Best performance, and Exit puts them
# back. With "Boost on battery" off, a boost waits on battery and follows the power source.
laptop() { # "Boost on battery" (1 or 0), the power source (ac or dc)
    prepare_balanced 0
    set_store remove high-performance
    set_store mode ac balanced
    set_store mode dc best-efficiency
    set_store source "$2"
    set_setting battery REG_DWORD "$1"
    before=$(settings_of_store)
}
modes_are() { store dump | grep -q "^mode ac=$1 dc=$2\$"; }
mains_boosted() { store dump | grep -q '^scheme .* balanced ac 100 dc 0$' && modes_are best-performance best-efficiency; }
power_status_changed() { winctl post "$PROGRAM_WINDOW" 0x218 10 0 >/dev/null; } # PBT_APMPOWERSTATUSCHANGE
laptop 1 ac
start_program
winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null
check "a laptop: Full Throttle makes both power modes Best performance" eventually 5 modes_are best-performance best-performance
check "the tooltip names the power mode" \
    eventually 15 tip_reads "boosted (minimum CPU state 100 %, Best performance mode)"
exit_program
check "and Exit puts both back" as_before
laptop 0 dc
start_program
winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null
check "no boost on battery: Full Throttle on battery says it waits" eventually 15 tip_reads "not boosted: on battery"
check "and boosts nothing" settings_as_before
set_store source ac
power_status_changed
check "on mains again: mains alone is boosted within a second" eventually 1 mains_boosted
set_store source dc
power_status_changed
unboosted() { [ "$(settings_of_store)" = "$before" ]; }
check "on battery again: released within a second" eventually 1 unboosted
exit_program
check "and nothing is left to undo" as_before
laptop 0 ac
set_store saver on
start_program
winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null
check "no boost on battery and Battery Saver on: Full Throttle on mains says it waits" \
    eventually 15 tip_reads "not boosted: on battery"
exit_program
check "and boosted nothing" as_before

# Windows 10: POWRPROF without the power mode functions. The boost is today's; no mode changes.
setup wine_install_powrprof "$WINEPREFIX" "$E2E_PRESET" "$E2E_BUILD/powersim-no-modes/powrprof.dll"
laptop 1 ac
start_program
winctl post "$PROGRAM_WINDOW" 273 17 0 >/dev/null
raised_alone() { store dump | grep -q '^scheme .* balanced ac 100 dc 100$' && modes_are balanced best-efficiency; }
check "without the power mode functions the fallback raises the minimum state alone" eventually 5 raised_alone
exit_program
check "and Exit leaves the store as before" as_before
setup wine_install_powrprof "$WINEPREFIX" "$E2E_PRESET"
