// The two private messages of the main window, always posted to it, never sent.
#pragma once
#include <windows.h>

#include "format/DiskFormat.h"

// WM_PLAYER_COMMAND: wParam a TCommand; lParam 0 for a press, or the song whose end was told with
// its play-through (Transport.h).
constexpr UINT WM_PLAYER_COMMAND = WM_USER + 100;
constexpr UINT WM_SONG_STARTED = WM_USER + 101;    // wParam 0, lParam 0
