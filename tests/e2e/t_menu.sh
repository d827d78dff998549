# The tray menu as drawn on the screen: where it opens, how it closes, and its language,
# switched with the mouse and kept across a restart.
. "$(dirname "$0")/lib.sh"
store reset
clear_settings

english=("Full Throttle" "Automatic" "Disabled" "Add program" "Settings" "About" "Exit")
czech=("Plný výkon" "Automaticky" "Vypnuto" "Přidat program" "Nastavení" "O programu" "Ukončit")

check "the program starts" start_program
eventually 10 icon_point >/dev/null
point=$(icon_point)
check "a right-click on the icon opens the menu" open_tray_menu
check "the menu opens at the cursor" [ "$MENU_X $MENU_Y" = "$point" ]
check "the menu reads in English" shows_phrases "$MENU" eng "${english[@]}"
not_czech() { ! shows_phrases "$MENU" ces+eng "Vypnuto" "Nastavení" "Ukončit" >/dev/null; }
check "and not in Czech" not_czech
xdotool key Escape
check "Escape closes it" eventually 3 no_menu_open
close_menus

check "Settings > Čeština is chosen with the mouse" choose_setting eng 'Settings' '^.e.tina$'
open_tray_menu
check "the menu reads in Czech" shows_phrases "$MENU" ces+eng "${czech[@]}"
close_menus
check "the choice is stored as 1029" [ "$("$WINE" reg query 'HKCU\Software\Korvath\Veltrana' /v language 2>/dev/null | tr -d '\r' | awk '/language/ { print $3 }')" = 0x405 ]

# Exit from the Czech menu, then start again.
open_tray_menu && click_word "$MENU" ces+eng '^Ukon'
check "Ukončit ends the program with 0" [ "$(exit_code 15)" = 0 ]
check "the program starts again" start_program
eventually 10 icon_point >/dev/null
open_tray_menu
check "after the restart the menu still reads in Czech" shows_phrases "$MENU" ces+eng "${czech[@]}"
close_menus
check "English is chosen back" choose_setting ces+eng '^Nastaven' '^English$'
open_tray_menu
check "and the menu reads in English again" shows_phrases "$MENU" eng "${english[@]}"
close_menus
winctl post "$PROGRAM_WINDOW" 273 255 0 >/dev/null
check "Exit ends it with 0" [ "$(exit_code 15)" = 0 ]
stop_program
