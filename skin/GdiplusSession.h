// GDI+ started for as long as one lives: for tools and tests that run without the program's start-up.
#pragma once
#include "skin/GdiPlusFlat.h"

class TGdiplusSession {
public:
  TGdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
  }
  ~TGdiplusSession() { Gdiplus::GdiplusShutdown(token); }
  TGdiplusSession(const TGdiplusSession&) = delete;
  TGdiplusSession& operator=(const TGdiplusSession&) = delete;

private:
  ULONG_PTR token = 0;
};
