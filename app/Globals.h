// The process-wide holders that start-up fills and teardown empties, in creation order.
#pragma once
#include <windows.h>

class TVfsFile;
class TPlayList;
class TPlayerWnd;
class TSkinButton;
class TPlayerListener;

constexpr int NoInfoTextSize = 260;
constexpr int ButtonCount = 6;

extern TVfsFile* Archive;             // opened on "data.vfs" before WinMain
extern TPlayList* PlayList;           // empty until skin.ini and PlayList.ini fill it
// Held by value and defined beside the static initialisers, so that it is built after the two above.
extern TPlayerListener PlayerListener;
extern char* NoInfoText;              // NoInfoTextSize bytes, filled by LoadPlayList
extern OSVERSIONINFOA OsVersion;      // filled at the top of WinMain
extern TPlayerWnd* MainWindow;        // TPlayerWnd, or TPlayerWndClassic below major version 5
extern TSkinButton* Buttons[ButtonCount];  // Rewind, PlayPause, Stop, Forward, Eject, Info

inline bool IsLayeredOs() { return OsVersion.dwMajorVersion >= 5; }
