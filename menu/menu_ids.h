// Command identifiers of the tray menu. Plain macros, because the resource script uses them too.
// Every id is unique across the whole menu tree: items are addressed by id through the tray
// menu's handle, and Windows searches the submenus for them.
#ifndef VELTRANA_MENU_IDS_H
#define VELTRANA_MENU_IDS_H

#define IDM_FULL_THROTTLE        17
#define IDM_AUTOMATIC            18
#define IDM_DISABLED             19
#define IDM_ADD_PROGRAM          33
#define IDM_METHOD_SCHEME        161
#define IDM_METHOD_MIN_FREQUENCY 162
#define IDM_BOOST_ON_BATTERY     163
#define IDM_BORDERS              177
#define IDM_START_WITH_WINDOWS   178
#define IDM_COLOR_BORDER         193
#define IDM_COLOR_FREQUENCY      194
#define IDM_COLOR_ACTIVE         195
#define IDM_LANG_ENGLISH         209
#define IDM_LANG_CZECH           210
#define IDM_HOMEPAGE             241
#define IDM_PRODUCT_PAGE         242
#define IDM_COPYRIGHT            254
#define IDM_EXIT                 255
#define IDM_LIST_EMPTY           65534

// Watch-list slot s owns IDM_PROGRAM_BASE + 16 * s + k: k = 1 allow, 2 disable, 3 remove.
#define IDM_PROGRAM_BASE   4096
#define IDM_PROGRAM_ALLOW  1
#define IDM_PROGRAM_BLOCK  2
#define IDM_PROGRAM_REMOVE 3

#endif
