# Borders off and a new frequency colour, chosen with the mouse in the menu and the real colour
# dialog, change the tray icon's pixels as the layout predicts.
. "$(dirname "$0")/lib.sh"
store reset
clear_settings
# As in t_icon.sh: a green activity colour, so that a busy moment cannot pass for a fill.
set_setting color::active REG_DWORD 0xFF00C000

processors=$(winctl processors)
icon=$E2E_WORK/colours.png

# Pixels of one hue, as "x,y" lines: blue (the default frequency colour), red, or dark grey
# (border lines: black at alpha 0x80, and their crossings at 0x60, over white).
pixels_of() {
    convert "$icon" -depth 8 txt:- 2>/dev/null | tr -d ' ' | awk -F'[:,()]' -v hue="$1" '
        NR > 1 {
            r = $4; g = $5; b = $6
            if ((hue == "blue" && b - r > 50 && b - g > 50) || (hue == "red" && r - g > 50 && r - b > 50) ||
                (hue == "dark" && r < 165 && g < 165 && b < 165 && r - b < 20 && b - r < 20)) print $1 "," $2
        }'
}
# The bounding box "x0,y0-x1,y1" of a hue's pixels.
box_of() {
    pixels_of "$1" | awk -F, 'NR == 1 { x0 = x1 = $1; y0 = y1 = $2 }
        { if ($1 < x0) x0 = $1; if ($1 > x1) x1 = $1; if ($2 < y0) y0 = $2; if ($2 > y1) y1 = $2 }
        END { if (NR) print x0 "," y0 "-" x1 "," y1 }'
}
# With two processors: borders on frame the cells (5,1) and (5,9) of side 5; borders off
# give cells (5,0) and (5,9) of side 6 and no border lines.
bordered() {
    capture_icon "$icon" || return 1
    [ "$processors" != 2 ] && { [ -n "$(pixels_of dark)" ]; return; }
    [ "$(box_of blue)" = "5,1-9,13" ] && pixels_of dark | grep -qx '4,3'
}
borderless() {
    capture_icon "$icon" || return 1
    local blue dark
    blue=$(box_of blue)
    dark=$(pixels_of dark | wc -l)
    [ "$processors" != 2 ] && { [ -n "$blue" ]; return; }
    [ "$blue" = "5,0-10,14" ] && [ "$dark" = 0 ] && ! pixels_of blue | grep -qx '5,6'
}
red_cells() {
    capture_icon "$icon" || return 1
    [ -z "$(pixels_of blue)" ] || return 1
    [ "$processors" != 2 ] && { [ -n "$(pixels_of red)" ]; return; }
    [ "$(box_of red)" = "5,0-10,14" ]
}

check "the program starts" start_program
check "the icon starts with borders" eventually 15 bordered
check "Settings > Icon borders is chosen with the mouse" choose_setting eng 'Settings' '.' '^borders$'
check "the icon loses its borders: larger cells, no lines" eventually 15 borderless
check "borders off is stored" [ "$("$WINE" reg query 'HKCU\Software\Korvath\Veltrana' /v borders 2>/dev/null | tr -d '\r' | awk '/borders/ { print $3 }')" = 0x0 ]

check "Settings > Icon frequency color… is chosen" choose_setting eng 'Settings' '^frequency$' '^colou?r'
dialog=$(window_named Color)
check "the colour dialog opens" [ -n "$dialog" ]
if [ -n "$dialog" ]; then
    # Red 255, green 0, blue 0 typed into the boxes right of their labels, then OK.
    words=$(ocr_words "$dialog" eng 11)
    for field in "Red 255" "Green 0" "Blue 0"; do
        set -- $field
        read -r x y _ < <(grep -E " $1:?\$" <<<"$words" | head -n 1)
        [ -n "${x:-}" ] || continue
        xdotool mousemove $((x + 45)) "$y" click --repeat 2 --delay 60 1
        xdotool type --delay 20 "$2"
    done
    sleep 0.3
    click_word "$dialog" eng '^OK$' 11 || xdotool key Return
fi
check "the icon's cells take the new colour where the layout puts them" eventually 15 red_cells
check "the colour is stored as 0x00FF0000" [ "$("$WINE" reg query 'HKCU\Software\Korvath\Veltrana' /v color::frequency 2>/dev/null | tr -d '\r' | awk '/frequency/ { print $3 }')" = 0xff0000 ]
winctl post "$PROGRAM_WINDOW" 273 255 0 >/dev/null
check "Exit ends it with 0" [ "$(exit_code 15)" = 0 ]
stop_program
