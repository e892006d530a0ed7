#include "app/ButtonFocus.h"

#include <cstdint>
#include <vector>

#include "app/ButtonTable.h"
#include "player/Commands.h"
#include "skin/SkinButton.h"
#include "skin/WindowShape.h"

namespace {

int focus = -1;
bool ringShown = false;
// The pixels the ring covers, in the order RingPixels visits them, to put back when it goes:
// there is no clean copy of the skin.
std::vector<uint32_t> underRing;
RECT ringArea = {};

// Calls visit(pixel, ring) for each pixel of the two rings inside `area` of the skin bitmap:
// ring 0 is its edge, ring 1 just inside it. Written as whole pixels, alpha included, since GDI's
// pens leave the alpha of a layered window's pixels at 0.
template <class TVisit>
void RingPixels(const RECT& area, TVisit visit) {
  DIBSECTION dib = {};
  if (!SkinBitmap || GetObjectA(SkinBitmap, sizeof dib, &dib) != int(sizeof dib) || !dib.dsBm.bmBits ||
      dib.dsBm.bmBitsPixel != 32)
    return;
  GdiFlush();
  const LONG width = dib.dsBm.bmWidth, height = dib.dsBm.bmHeight;
  auto at = [&](LONG x, LONG y, int ring) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    const LONG row = dib.dsBmih.biHeight > 0 ? height - 1 - y : y;
    visit(static_cast<uint32_t*>(dib.dsBm.bmBits)[row * (dib.dsBm.bmWidthBytes / 4) + x], ring);
  };
  for (int ring = 0; ring < 2; ++ring) {
    const LONG left = area.left + ring, top = area.top + ring, right = area.right - 1 - ring,
               bottom = area.bottom - 1 - ring;
    for (LONG x = left; x <= right; ++x) {
      at(x, top, ring);
      at(x, bottom, ring);
    }
    for (LONG y = top + 1; y < bottom; ++y) {
      at(left, y, ring);
      at(right, y, ring);
    }
  }
}

bool Exists(int index) { return index >= 0 && index < ButtonCount && Buttons[index] != nullptr; }

}  // namespace

void PressButton(HWND hwnd, int index) {
  if (index < 0 || index >= ButtonCount) return;
  PostMessageA(hwnd, WM_PLAYER_COMMAND, WPARAM(ButtonSections[index].command), 0);
  if (ButtonSections[index].command == cmdEject) PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

int FocusedButton() { return ringShown && Exists(focus) ? focus : -1; }

bool LiftFocusRing() {
  if (underRing.empty()) return false;
  size_t next = 0;
  RingPixels(ringArea, [&](uint32_t& pixel, int) { pixel = underRing[next++]; });
  underRing.clear();
  return true;
}

void LayFocusRing() {
  if (FocusedButton() < 0 || !underRing.empty()) return;
  ringArea = Buttons[focus]->Area();
  if (ringArea.right - ringArea.left < 4 || ringArea.bottom - ringArea.top < 4) return;
  RingPixels(ringArea, [](uint32_t& pixel, int) { underRing.push_back(pixel); });
  // White outside, black inside: seen on any skin.
  RingPixels(ringArea, [](uint32_t& pixel, int ring) { pixel = ring == 0 ? 0xFFFFFFFFu : 0xFF000000u; });
}

void FocusButton(HWND hwnd, int index) {
  if (!Exists(index)) return;
  LiftFocusRing();
  focus = index;
  ringShown = true;
  LayFocusRing();
  PresentBackBuffer();
  NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd, OBJID_CLIENT, ChildIdOfButton(index));
}

void MoveFocus(HWND hwnd, int step) {
  int index = focus;
  for (int tries = 0; tries < ButtonCount; ++tries) {
    index = ((index < 0 && step < 0 ? ButtonCount : index) + step + ButtonCount) % ButtonCount;
    if (Exists(index)) return FocusButton(hwnd, index);
  }
}

void HideFocusRing() {
  ringShown = false;
  if (LiftFocusRing()) PresentBackBuffer();
}

long ChildIdOfButton(int index) {
  long id = 0;
  for (int i = 0; i <= index && i < ButtonCount; ++i)
    if (Exists(i)) ++id;
  return Exists(index) ? id : 0;
}

int ButtonOfChildId(long childId) {
  for (int i = 0; i < ButtonCount; ++i)
    if (Exists(i) && ChildIdOfButton(i) == childId) return i;
  return -1;
}
