// A small layered popup over one moving part of the layered main window's face, the meter or the
// clock, showing that rectangle of the back buffer. Windows copies only a layered update's dirty
// rectangle, but Wine copies the whole window on every update: thirty frames a second of the whole
// window would cost more than the frames themselves. The popup costs what its own pixels cost.
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
  // Shows `dirty` of the back buffer anew.
  BOOL Present(HDC backBuffer, const RECT& dirty);
  BOOL PresentAll(HDC backBuffer) { return Present(backBuffer, area); }
  // Keeps the popup on the owner's area; hidden while the owner is hidden or minimised.
  void FollowOwner();
  void Destroy();

private:
  HWND owner = nullptr;
  HWND popup = nullptr;
  RECT area = {};
};
