# The live tray icon as captured from the screen: one cell per processor of the machine, at
# the places the layout gives, in the frequency colour (Wine reports every processor at full
# clock), framed by border lines.
. "$(dirname "$0")/lib.sh"
store reset
clear_settings
# Wine's tray draws each new icon over the last one without clearing it, so half-transparent
# pixels darken from paint to paint. Opaque colours keep the picture readable: a green
# activity colour (shown while the machine is more than 95 % busy, as it can be in a test run)
# and black borders.
set_setting color::active REG_DWORD 0xFF00C000
set_setting color::border REG_DWORD 0xFF000000

processors=$(winctl processors)
icon=$E2E_WORK/cells.png

# Cells are the 4-connected regions of coloured pixels (blue: the frequency colour, green: the
# activity colour); prints "count x0,y0 ..." by the top-left pixel of each, in reading order.
cells() {
    convert "$icon" -depth 8 txt:- 2>/dev/null | tr -d ' ' | awk -F'[:,()]' '
        NR > 1 { if ($6 - $4 > 50 || $5 - $4 > 50) on[$1 "," $2] = 1 }
        END {
            n = 0
            for (y = 0; y < 16; y++) for (x = 0; x < 16; x++) {
                k = x "," y
                if (on[k] && !seen[k]) {
                    n++; first[n] = k; stack[1] = k; top = 1; seen[k] = 1
                    while (top > 0) {
                        split(stack[top--], p, ",")
                        for (d = 0; d < 4; d++) {
                            nx = p[1] + (d == 0) - (d == 1); ny = p[2] + (d == 2) - (d == 3)
                            q = nx "," ny
                            if (on[q] && !seen[q]) { seen[q] = 1; stack[++top] = q }
                        }
                    }
                }
            }
            printf "%d", n
            for (i = 1; i <= n; i++) printf " %s", first[i]
            print ""
        }'
}

shows_cells() {
    capture_icon "$icon" || return 1
    local found
    found=$(cells)
    [ "${found%% *}" = "$processors" ] || return 1
    case $processors in
    1) [ "$found" = "1 1,1" ] ;;          # one 14-pixel cell
    2) [ "$found" = "2 5,1 5,9" ] ;;      # one column of two 5-pixel cells
    4) [ "$found" = "4 1,1 9,1 1,9 9,9" ] ;;
    *) true ;;
    esac
}
border_lines() {
    # With two processors the frame lines run on rows 0, 6, 8, 14 and columns 4 and 10.
    [ "$processors" = 2 ] || return 0
    local p
    for p in "4 3" "10 3" "7 0" "7 6" "7 8" "7 14"; do
        [ "$(pixel "$icon" $p)" = "0,0,0" ] || return 1
    done
}

check "the program starts" start_program
check "the icon shows one cell per processor ($processors) where the layout puts them" eventually 15 shows_cells
check "cells are framed by border lines in the border colour" border_lines
winctl post "$PROGRAM_WINDOW" 273 255 0 >/dev/null
check "Exit ends the program with 0" [ "$(exit_code 15)" = 0 ]
stop_program
