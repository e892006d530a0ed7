// The main window's size, outline and drawing surface, all from the archive entry "pic.png".
#pragma once
#include <windows.h>

#include <vector>

#include "skin/RegionScan.h"

extern OSVERSIONINFOA OsVersion;  // filled at the top of WinMain
// Major version 5 and above: a layered window drawn with AlphaBlend; below, the classic window.
inline bool IsLayeredOs() { return OsVersion.dwMajorVersion >= 5; }

// Where the main window is made and where the skin keeps it.
constexpr int PlayerWndX = 100;
constexpr int PlayerWndY = 100;

extern HBITMAP SkinBitmap;  // the picture over transparent black; drawing changes it
extern HDC BackBuffer;      // memory DC holding SkinBitmap: every drawing goes here
// The window InitWindowShape shaped, until FreeWindowShape: the buttons post to it and the fade's
// timer runs on it.
extern HWND SkinWindow;

// Shows the back buffer in the main window; set by the window's owner, null while there is none.
typedef void (*TPresentProc)();
extern TPresentProc PresentProc;
void PresentBackBuffer();

// Init hook of the main window: sizes the window to the picture, cuts its outline, makes the back
// buffer and, on a layered OS, shows the bare picture. A missing or undecodable picture leaves
// the window 0 by 0.
int InitWindowShape(HWND window);
// Teardown hook: releases the back buffer and the skin bitmap (the window owns the region).
int FreeWindowShape(HWND window);

// Shows `source` as the layered window's whole picture, `size` big, at `position` on the screen.
BOOL UpdateLayered(HWND window, POINT position, SIZE size, HDC source);
// Shows `dirty` of the layered window's picture anew from `source`; the window keeps its place and
// size.
BOOL UpdateLayeredPart(HWND window, HDC source, const RECT& dirty);

// The width x height rectangle without the runs, made from the opaque rectangles in time that
// grows with their number, not with its square as cutting the runs out one by one did.
HRGN CreateOutlineRegion(uint32_t width, uint32_t height, const std::vector<TTransparentRun>& runs);
