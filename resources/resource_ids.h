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

#endif
