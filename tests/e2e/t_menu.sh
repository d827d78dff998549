# The tray menu as drawn on the screen: where it opens and its language, chosen in the menu and
# kept across a restart.
. "$(dirname "$0")/lib.sh"
set_store reset
clear_settings

english=(eng "Full Throttle" "Automatic" "Disabled" "Add program" "Settings" "About" "Exit")
czech=(ces+eng "Plný výkon" "Automaticky" "Vypnuto" "Přidat program" "Nastavení" "O programu" "Ukončit")
# Opens the menu, reads it by OCR (tesseract's languages, then the phrases) and closes it.
menu_reads() {
    open_tray_menu || return 1
    eventually 5 shows_phrases "$MENU" "$@"
    local shown=$?
    menu_keys $VK_ESCAPE && return $shown
}
exit_from_menu() { choose "$EXIT" && [ "$(exit_code 15)" = 0 ]; }

check "the program starts" start_program
eventually 10 icon_point >/dev/null
point=$(icon_point)
check "a right-click on the icon opens the menu" open_tray_menu
check "the menu opens at the cursor" [ "$MENU_X $MENU_Y" = "$point" ]
check "the menu reads in English" eventually 5 shows_phrases "$MENU" "${english[@]}"
check "Escape closes it" menu_keys $VK_ESCAPE
check "Settings > Čeština is chosen in the menu" choose "$CZECH"
check "the menu reads in Czech" menu_reads "${czech[@]}"
check "the choice is stored as 1029" eventually 5 stored language 0x405
check "Ukončit in the menu ends the program with 0" exit_from_menu
check "the program starts again" start_program
check "after the restart the menu still reads in Czech" menu_reads "${czech[@]}"
check "English is chosen back in the menu" choose "$ENGLISH"
check "and the menu reads in English again" menu_reads "${english[@]}"
exit_program
