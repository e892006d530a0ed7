// The main window's procedure once start-up is done: mouse, keys, timer and the two private
// messages become actions of the buttons, the transport and the song pictures.
#pragma once
#include <windows.h>

LRESULT CALLBACK PlayerWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The shell's hook and the tooltips, once the procedure is installed.
void StartPlayerInput(HWND hwnd);
