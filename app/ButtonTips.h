// One tooltip window over the buttons: each button's name and key, asked for each time it shows,
// so that the play/pause tip follows the transport.
#pragma once
#include <windows.h>

void CreateButtonTips(HWND owner);
void DestroyButtonTips();
// The mouse messages the tooltip must see to know where the pointer rests.
void RelayToTips(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// WM_NOTIFY: the text of a tip about to show.
LRESULT OnNotify(HWND hwnd, WPARAM wParam, LPARAM lParam);
