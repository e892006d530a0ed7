// The main window's size, outline and drawing surface, all from the archive entry "pic.png".
#pragma once
#include <windows.h>

#include <vector>

#include "skin/RegionScan.h"

class TPlayerWnd;

extern HBITMAP SkinBitmap;  // the picture over transparent black; drawing changes it
extern HDC BackBuffer;      // memory DC holding SkinBitmap: every drawing goes here
extern HRGN WindowRegion;   // owned by the window once set

// Init hook of the main window: sizes the window to the picture, cuts its outline, makes the back
// buffer and, on a layered OS, shows the bare picture. A missing or undecodable picture leaves
// the window 0 by 0.
int InitWindowShape(TPlayerWnd* window);
// Teardown hook: releases the back buffer and the skin bitmap (the window owns the region).
int FreeWindowShape(TPlayerWnd* window);

// The width x height rectangle without the runs, made from the opaque rectangles in time that
// grows with their number, not with its square as cutting the runs out one by one did.
HRGN CreateOutlineRegion(uint32_t width, uint32_t height, const std::vector<TTransparentRun>& runs);
