// A small popup over one moving part of the layered main window's face, the meter or the clock,
// repainted from that rectangle of the back buffer. Windows copies only a layered update's dirty
// rectangle, but Wine redoes the whole window on every layered update, even a small one: thirty
// frames a second of that would cost more than the frames themselves. A plain repaint of the
// popup costs what its own pixels cost. It takes the face's outline, so see-through pixels of the
// face stay see-through; pixels that are only partly see-through show opaque in it.
#pragma once
#include <windows.h>

class TFaceOverlay {
public:
  TFaceOverlay() = default;
  ~TFaceOverlay() { Destroy(); }
  TFaceOverlay(const TFaceOverlay&) = delete;
  TFaceOverlay& operator=(const TFaceOverlay&) = delete;

  // Over `area`, in `owner`'s window pixels, showing it from the back buffer; false when it
  // could not be made.
  bool Create(HWND owner, const RECT& area, HDC backBuffer);
  // True when `dirty`, in the owner's window pixels, lies within the popup.
  bool Covers(const RECT& dirty) const;
  // Shows `dirty` of the back buffer anew; the whole area without one.
  BOOL Present(HDC backBuffer, const RECT* dirty = nullptr);
  // Keeps the popup on the owner's area; hidden while the owner is hidden or minimised.
  void FollowOwner();
  void Destroy();

private:
  static LRESULT CALLBACK WindowProc(HWND popup, UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void TakeOutline();

  HWND owner = nullptr;
  HWND popup = nullptr;
  RECT area = {};
  HDC source = nullptr;  // the back buffer, owned by the skin
};
