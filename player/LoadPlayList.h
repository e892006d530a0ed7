// Reads PlayList.ini from the current directory into the playlist object, the song picture
// positions, the NoInfo text and the window caption. Called once at start-up, after the
// skin.ini songs were added.
#pragma once
#include <windows.h>

#include <cstdint>

constexpr int NoInfoTextSize = 260;
// NoInfoTextSize bytes, allocated before WinMain and filled by LoadPlayList: the picture name of
// a song that names none of its own.
extern char* NoInfoText;

// Where the info picture (row 0 or 1) and the title picture (row 2) go in the back buffer;
// 0 until LoadPlayList runs.
extern int32_t InfoX;
extern int32_t InfoY;
extern int32_t TitleX;
extern int32_t TitleY;

// The caption goes to `window` when there is one.
void LoadPlayList(HWND window);
