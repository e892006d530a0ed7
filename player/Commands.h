// The codes the skin buttons post and the two private messages of the main window.
// Both messages are always posted to the main window, never sent.
#pragma once
#include <windows.h>

enum TCommand : int {
  cmdRewind = 1,
  cmdPlayPause = 2,
  cmdStop = 4,
  cmdForward = 5,
  cmdEject = 6,  // posted by the eject button, acted on by nobody: the button closes the window
  cmdInfo = 7,
};

// WM_PLAYER_COMMAND: wParam a TCommand; lParam 0 for a press, or the song whose end was told with
// its play-through (Transport.h).
constexpr UINT WM_PLAYER_COMMAND = WM_USER + 100;
constexpr UINT WM_SONG_STARTED = WM_USER + 101;    // wParam 0, lParam 0
