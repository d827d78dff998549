# The live tray icon as captured from the screen: one cell per processor where the layout puts
# it, in the frequency colour (Wine reports every processor at full clock), framed by border
# lines; then borders off and a new frequency colour, chosen in the menu and the real colour
# dialog, change the picture and are stored.
. "$(dirname "$0")/lib.sh"
set_store reset
clear_settings
# Opaque colours: black borders, and a green activity colour (shown while the machine is more
# than 95 % busy, as it can be in a test run), which cannot pass for a blue or red fill.
set_setting color::active REG_DWORD 0xFF00C000
set_setting color::border REG_DWORD 0xFF000000

# The cells of a 16 x 16 icon by processor count and borders (1 on, 0 off): side, then the
# columns and the rows of their top-left pixels.
layout() {
    case $1:$2 in
    1:1) echo "14 1 1" ;;
    1:0) echo "15 0 0" ;;
    2:1) echo "5 5 1,9" ;;
    2:0) echo "6 5 0,9" ;;
    3:?) echo "3 6 1,6,11" ;;
    4:1) echo "5 1,9 1,9" ;;
    4:0) echo "6 0,9 0,9" ;;
    6:?) echo "3 4,9 1,6,11" ;;
    8:1) echo "2 5,8 2,5,8,11" ;;
    8:0) echo "3 4,8 0,4,8,12" ;;
    12:1) echo "2 2,5,8,11 4,7,10" ;;
    12:0) echo "3 0,4,8,12 2,6,10" ;;
    16:1) echo "2 2,5,8,11 2,5,8,11" ;;
    16:0) echo "3 0,4,8,12 0,4,8,12" ;;
    esac
}
processors=$(winctl processors)
icon=$E2E_WORK/icon.png

# Pixels of a picture as "x,y:(r,g,b..." lines, and the start of the awk programs that check
# them: want[x "," y] for the pixels of the layout's cells (awk -v cells), and, unless EDGES is
# 0, edge[x "," y] for the pixel right of each cell's top row.
pixels() { convert "$1" -depth 8 txt:- 2>/dev/null | tr -d ' '; }
cells_awk='BEGIN { split(cells, c, " "); nx = split(c[2], xs, ","); ny = split(c[3], ys, ",")
    for (i = 1; i <= nx; i++) for (j = 1; j <= ny; j++) {
        for (x = xs[i]; x < xs[i] + c[1]; x++) for (y = ys[j]; y < ys[j] + c[1]; y++) want[x "," y] = 1
        if (edges) edge[xs[i] + c[1] "," ys[j]] = 1 } }'
# Whether a picture of the icon shows exactly the layout's cells filled in the given hues (blue,
# red or green: the strongest channel, 50 above the others) and, unless EDGES is 0, right of
# each cell's top row a border line (black) with borders on or a faint grey shadow with them off.
cells_in() {
    pixels "$1" | awk -F'[:,()]' -v cells="$(layout "$processors" "$2")" -v borders="$2" -v hues="$3" -v edges="${4:-1}" "$cells_awk"'
        NR > 1 { r = $4; g = $5; b = $6; k = $1 "," $2
            hue = b - r > 50 && b - g > 50 ? "blue" : r - g > 50 && r - b > 50 ? "red" : g - r > 50 && g - b > 50 ? "green" : "-"
            if ((index(hues, hue) > 0) != (k in want)) bad++
            if ((k in edge) && (borders ? r + g + b != 0 : r < 190 || r != g || g != b)) bad++ }
        END { exit bad > 0 }'
}
icon_shows() { capture_icon "$icon" && cells_in "$icon" "$@"; }
# Under Wine the readings never change, so the activity colour of a busy moment, which can come
# 250 ms after a repaint, stays until the next repaint: the one that the new colour causes is
# caught in pictures taken without starting Wine processes (whose start keeps both cores busy),
# drawn over the picture before, so only the hues count.
red_now() {
    import -window "$(tray_window)" "$icon.full.png" 2>/dev/null &&
        convert "$icon.full.png" -crop 16x16+2+2 +repage "$icon" && cells_in "$icon" 0 red 0
}

# One check of the icon (name, borders, the command), or "skipped" where the table has no
# layout for this machine.
icon_check() {
    if [ -n "$(layout "$processors" "$2")" ]; then
        check "$1" "${@:3}"
    else
        echo "skipped: $1 ($processors processors)"
    fi
}
enter_red() { winctl set-text "$DIALOG" 706 255 && winctl set-text "$DIALOG" 707 0 && winctl set-text "$DIALOG" 708 0; }

# The cells' places hold in a busy moment too, with the whole grid in the activity colour.
check "the program starts" start_program
icon_check "the icon shows one cell per processor with borders, where the layout puts them" 1 \
    eventually 30 icon_shows 1 "blue green"
check "Settings > Icon borders is chosen in the menu" choose "$BORDERS"
icon_check "the icon loses its borders: larger cells with shadows" 0 eventually 30 icon_shows 0 "blue green"
check "borders off is stored" eventually 5 stored borders 0x0
check "Settings > Icon frequency color… is chosen in the menu" choose "$FREQUENCY_COLOUR"
check "the colour dialog opens" find_dialog Color
check "red 255, green 0 and blue 0 are entered in its boxes" enter_red
check "its OK button is pressed" winctl press "$DIALOG" 1
# The program returns from the dialog about 2 s after it disappears (Wine without a window
# manager waits that long for it to be withdrawn); a message sent to the tray window comes back
# then, right before the repaint.
winctl send "$PROGRAM_WINDOW" 0 0 0 >/dev/null
icon_check "the cells take the new colour" 0 eventually 5 red_now
check "the colour is stored as 0x00FF0000" eventually 5 stored color::frequency 0xff0000
exit_program

# A workstation of 128 processors: the power manager wants a record for every one of them, and the
# icon shows the program's own.
set_store installed 128
check "with 128 processors installed the program starts" start_program
icon_check "its icon paints the cells of its own processors" 0 eventually 30 icon_shows 0 "red green"
exit_program
set_store installed -

# The colours not stored follow the taskbar's theme, at start and when Windows says it changed;
# the stored border stays black. Fill and activity alike are light on the dark taskbar and dark
# on the light one (red above 150, or below 130, on Wine's white tray), busy or not.
clear_settings
set_setting color::border REG_DWORD 0xFF000000
switch_theme() {
    "$WINE" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize' /v SystemUsesLightTheme \
        /t REG_DWORD /d "$1" /f >/dev/null 2>&1 && winctl setting-change ImmersiveColorSet >/dev/null
}
setup switch_theme 1
cells_are() {
    capture_icon "$icon" && pixels "$icon" | awk -F'[:,()]' -v cells="$(layout "$processors" 1)" -v edges=1 -v tone="$1" "$cells_awk"'
        NR > 1 { k = $1 "," $2; bad += (k in want) && (tone == "light" ? $4 <= 150 : $4 >= 130) || (k in edge) && $4 + $5 + $6 }
        END { exit bad > 0 }'
}
check "the program starts on a light taskbar" start_program
icon_check "the cells are dark, the stored border black" 1 eventually 30 cells_are dark
check "the taskbar turns dark, and Windows says so" switch_theme 0
icon_check "the cells turn light, the border stays black" 1 eventually 30 cells_are light
exit_program
