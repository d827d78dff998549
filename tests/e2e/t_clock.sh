# How fast each processor runs, read from the performance counter (the stand-in PDH, whose
# values the test sets): the icon follows it, the highest performance seen is full intensity,
# and Wine's own PDH, which lacks the counter, leaves the clock the power manager reports. While
# the session is locked nothing is painted and the counter is not read, but Automatic goes on.
. "$(dirname "$0")/lib.sh"
set_store reset
clear_settings
set_setting color::active REG_DWORD 0xFF00C000 # a busy moment shows green, never blue
set_setting color::frequency REG_DWORD 0x008080FF # stored: whatever the taskbar's theme
processors=$(winctl processors)
if [ "$processors" != 2 ]; then
    echo "skipped: the performance counter in the icon (the cells of $processors processors)"
    exit 0
fi
icon=$E2E_WORK/clock.png
performance() { PERFORMANCE="$*" && set_store performance "$@"; }

# Whether cell 0 and cell 1 (borders on: at (5, 1) and (5, 9)) are filled in the frequency colour
# with the given alphas: 0x8080FF over the tray's white gives red = 255 - alpha * 127 / 255, within
# 2. Under Wine the clocks never change, so a busy moment's activity colour would stay until the
# next change: then the same readings are given again, a hundredth lower, which repaints.
shows() {
    capture_icon "$icon" || return 1
    local red0 red1
    red0=$(convert "$icon" -format '%[fx:int(255*p{7,3}.r)]' info:)
    red1=$(convert "$icon" -format '%[fx:int(255*p{7,11}.r)]' info:)
    if [ "$red0" -lt 100 ] || [ "$red1" -lt 100 ]; then
        performance $(awk '{ for (i = 1; i <= NF; i++) $i -= 0.01 } 1' <<<"$PERFORMANCE")
        return 1
    fi
    awk -v r0="$red0" -v r1="$red1" -v a0="$1" -v a1="$2" 'BEGIN {
        d0 = r0 - (255 - a0 * 127 / 255); d1 = r1 - (255 - a1 * 127 / 255)
        exit !(d0 * d0 <= 4 && d1 * d1 <= 4) }'
}

game=$E2E_WORK/Game.exe
setup cp "$(dirname "$WINCTL")/../tests/watcher/watch_sleeper.exe" "$game"
set_setting 'program#0' REG_SZ "$(winpath "$game")"
set_setting 'program#0::enabled' REG_DWORD 1
performance 50 100
check "the program starts" start_program
check "a processor at 50 % shows (0.5)² of full intensity, one at 100 % full" eventually 10 shows 48 192
performance 100 50
check "the icon follows a new reading" eventually 5 shows 192 48
performance 110 100
check "110 % seen once is full intensity, and 100 % reads (100/110)²" eventually 5 shows 192 158

winctl send "$PROGRAM_WINDOW" 0x2B1 7 0 >/dev/null # WM_WTSSESSION_CHANGE: the session is locked
# The picture the tray holds from then on (two equal captures): on a busy machine it may be the
# activity colour, so the check below compares pictures rather than intensities.
locked=$E2E_WORK/locked.png
settled() {
    capture_icon "$icon" || return 1
    [ -f "$locked" ] && same_picture "$icon" "$locked" && return 0
    cp "$icon" "$locked"
    return 1
}
setup eventually 5 settled
# The counter's collections so far: none more may come while the icon is hidden.
collections() { store dump | sed -n 's/^calls PdhCollectQueryData //p'; }
count_collections() { collected=$(collections) && [ -n "$collected" ]; }
setup count_collections
performance 50 100
"$WINE" "$WINCTL" run "$(winpath "$E2E_WORK/game")" "$(winpath "$game")" >/dev/null 2>&1 &
check "locked, Automatic still engages the boost for a watched program" eventually 5 active_is high-performance
eventually 5 test -s "$E2E_WORK/game.pid" && winctl end "$(read_file "$E2E_WORK/game.pid")"
check "and releases it when the program ends" eventually 5 active_is balanced
check "the performance counter was not read while nobody could see the icon" [ "$(collections)" = "$collected" ]
unchanged() { capture_icon "$icon" && same_picture "$icon" "$locked"; }
check "while the icon, which nobody sees, was not painted" unchanged
winctl send "$PROGRAM_WINDOW" 0x2B1 8 0 >/dev/null # unlocked
check "unlocked, the icon is painted again at once" eventually 5 shows 39 158

# The counter names a processor "N,K", the K-th of NUMA node N. Wine lists one node holding both
# processors; named as two nodes, "0,0" is processor 0 and "1,0" names a node Windows does not
# list: processor 1 keeps the power manager's clock rather than taking node 1's reading (or
# processor 0 taking it).
set_store nodes 0 1
performance 50 25
check "instances of two nodes: node 0's first is processor 0, node 1 unknown to Windows is no cell" \
    eventually 5 shows 39 192
set_store nodes -
exit_program

performance 50 50
WINEDLLOVERRIDES="powrprof=n,b;pdh=b" check "with Wine's own PDH it starts" start_program
check "and the icon shows the clocks of the power manager (all at their maximum)" eventually 10 shows 192 192
exit_program
performance -
