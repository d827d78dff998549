// Names of the program's own resources, shared by the resource script and the code.
#ifndef VELTRANA_RESOURCE_IDS_H
#define VELTRANA_RESOURCE_IDS_H

#define IDR_TRAY_MENU       1 // the tray menu: its first popup
#define IDR_PROGRAM_MENU    2 // template of the submenu of one watched program
#define IDI_PROGRAM         1 // the executable's own icon, shown by Explorer
#define IDI_PLACEHOLDER     2 // fully transparent 16 x 16 icon shown until the first paint
#define IDS_ADD_TITLE       16
#define IDS_FILTER_PROGRAMS 17
#define IDS_FILTER_ALL      18
// The tray icon's tooltip: string-table block 3 (ids 32 to 47), loaded whole in the menu's language.
#define IDS_TIP_FIRST         32
#define IDS_TIP_STATUS        32 // "%1" the mode, "%2" the boost's state
#define IDS_TIP_BOOSTED       33
#define IDS_TIP_BOOSTED_FOR   34
#define IDS_TIP_BY_SCHEME     35
#define IDS_TIP_BY_MINIMUM    36
#define IDS_TIP_BY_FALLBACK   37
#define IDS_TIP_ALREADY_HIGH  38
#define IDS_TIP_WAITING       39
#define IDS_TIP_NOT_BOOSTED   40
#define IDS_TIP_REFUSED       41
#define IDS_TIP_UNDONE        42
#define IDS_TIP_FASTEST       43
#define IDS_TIP_FASTEST_CLOCK 44
#define IDS_TIP_FASTEST_SHARE 45
#define IDS_TIP_RELEASE_REFUSED 46
#define IDS_TIP_FASTEST_CLASS 47 // "%1" processor, "%2" its efficiency class, "%3" percent
#define IDS_TIP_WITH_MODE     48 // "%1" the way: a boost that includes the power mode
#define IDS_TIP_ON_BATTERY    49
#define IDS_TIP_LAST          49

#endif
