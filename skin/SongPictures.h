// The current song's info picture, cross-faded in on a 10 ms timer, and its title picture.
#pragma once
#include <windows.h>

#include <cstdint>

class TSkinImage;

constexpr UINT_PTR FADE_TIMER_ID = 10001;
constexpr UINT FadeTimerPeriodMs = 10;

extern int32_t InfoRow;  // 0 = pic0, 1 = pic1; kept from song to song

// Each owned by its holder alone; the previous one is kept until the next picture replaces it.
extern TSkinImage* CurrentInfoPicture;   // shown, or being faded in
extern TSkinImage* PreviousInfoPicture;  // being faded out
extern int32_t FadeLevel;                // 0 when no fade is under way

void DrawPicture(int32_t x, int32_t y, const char* name);
void ShowInfoPicture(HWND window, const char* name);
// The handler of cmdInfo: switches to the other info row when the song has a picture there.
void ToggleInfo();
// One step of the cross-fade; the window procedure runs it on every WM_TIMER.
void FadeTick(HWND window);
// On WM_SONG_STARTED: the info picture of the chosen row fades in, the title picture is drawn.
void ShowSongPictures(HWND window);
// Destroys both info pictures and the copy of what lies beneath them, and starts over at row 0,
// for a teardown before GDI+ goes.
void FreeSongPictures();
