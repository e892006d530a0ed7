// Keys, media keys and the shell's hook become the same WM_PLAYER_COMMAND posts as the buttons.
#pragma once
#include <windows.h>

// Esc, Tab, Enter, Space and each button's key; every key then gets its default handling, which
// turns a media key into WM_APPCOMMAND on Windows.
LRESULT OnKeyDown(HWND hwnd, WPARAM key, LPARAM flags);
// The four media commands, from whichever key, remote or mouse button: TRUE when taken.
LRESULT OnAppCommand(HWND hwnd, WPARAM wParam, LPARAM lParam);

// Media keys that no window with the focus took come through the shell's hook (Windows only).
UINT ShellHookMessage();
void RegisterShellHook(HWND hwnd);
void DeregisterShellHook(HWND hwnd);
LRESULT OnShellHook(HWND hwnd, WPARAM code, LPARAM lParam);

// Called once each command was carried out: a key repeat, or a command of the shell's hook, that
// waited in the queue meanwhile is dropped, so that holding a key down leaves no backlog of songs
// behind the release.
void CommandCarriedOut();
// A message of `messageTime` was asked for before the command done at `doneAt`, so it waited in
// the queue meanwhile. The tick count wraps every 49.7 days: only the last minute counts, however
// long the disk sat idle.
bool WaitedForCommand(DWORD messageTime, DWORD doneAt);
