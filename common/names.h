// Every name the program shares with other processes: kernel objects, the window class,
// registered messages and registry keys. The program, its tests and the tools beside it
// (winctl, the stand-ins, the benchmarks) spell them only from here. No other header needed.
#ifndef VELTRANA_NAMES_H
#define VELTRANA_NAMES_H

// One instance per logon session holds this mutex.
#define VELTRANA_SINGLETON_MUTEX L"Quobit::Veltrana::Singleton"
// Held while an undo record left by an earlier run is replayed: by a starting instance, or by
// "veltrana.exe -restore" from RunOnce at the same logon.
#define VELTRANA_REPLAY_MUTEX L"Quobit::Veltrana::Replay"
// Broadcast by "veltrana.exe -terminate": the running instance closes.
#define VELTRANA_TERMINATE_MESSAGE L"Quobit::Veltrana::Terminate"
// Broadcast by the shell when its notification area starts again.
#define VELTRANA_TASKBAR_CREATED_MESSAGE L"TaskbarCreated"
// The class of the hidden tray window; the tools find a running instance by it.
#define VELTRANA_TRAY_WINDOW_CLASS L"BLANK"
// The tray icon's callback message (WM_APP) and its id.
#define VELTRANA_WM_TRAYICON  0x8000
#define VELTRANA_TRAY_ICON_ID 1
// Posted to the tray window when the power source or Battery Saver may have changed (WM_APP + 1).
#define VELTRANA_WM_POWERSOURCE 0x8001

// The settings key under HKEY_CURRENT_USER, and the values in it that hold what undoes a boost
// in force (written and deleted by the boost itself): the first, the one of the minimum states of
// efficiency class 1, and the one of the user's power modes.
#define VELTRANA_SETTINGS_KEY      L"Software\\Korvath\\Veltrana"
#define VELTRANA_UNDO_VALUE        L"boost::undo"
#define VELTRANA_UNDO_CLASS1_VALUE L"boost::undo::class1"
#define VELTRANA_UNDO_MODES_VALUE  L"boost::modes"
// The value under HKEY_CURRENT_USER's Run key (Start with Windows) and RunOnce key (a restore
// at the next logon while a boost is in force and Windows would not start the program).
#define VELTRANA_RUN_KEY      L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"
#define VELTRANA_RUN_ONCE_KEY L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"
#define VELTRANA_RUN_VALUE    L"Veltrana"
// Where Task Manager's Startup tab keeps its own on/off flag for that Run value (REG_BINARY; an
// odd first byte means turned off there).
#define VELTRANA_STARTUP_APPROVED_KEY                                                                        \
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run"

// The stand-in power manager of the tests: its store under HKEY_LOCAL_MACHINE and the mutex
// that serialises access to it.
#define POWERSIM_STORE_KEY   L"Software\\PowerSim"
#define POWERSIM_STORE_MUTEX L"PowerSim::Store"
// The window in which Wine shows tray icons when no desktop tray is running.
#define WINE_SYSTEM_TRAY_WINDOW L"Wine System Tray"

#endif
