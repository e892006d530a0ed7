// The six skin buttons: a state picture each, chosen by hover, press and (for play/pause) the
// transport's flags.
#pragma once
#include <windows.h>

#include <cstdint>

class TPlayerWnd;
class TSkinButton;

typedef void (*TButtonDrawProc)(TSkinButton* button);

// The window procedure's two entry points, over the button array. Each presents the back buffer
// once when any button redrew.
void ButtonsMouseMove(int32_t x, int32_t y);
void ButtonsMouseButton(bool pressed);
