#include "app/ButtonFocus.h"

#include <cstdint>
#include <memory>

#include "app/ButtonTable.h"
#include "player/Commands.h"
#include "skin/GdiHolders.h"
#include "skin/SkinButton.h"
#include "skin/WindowShape.h"

namespace {

int focus = -1;
bool ringShown = false;
// The pixels the ring covers, put back when it goes: there is no clean copy of the skin.
std::unique_ptr<TArgbSurface> underRing;
RECT ringArea = {};

// White outside, black inside: seen on any skin. Written as opaque pixels, since GDI's pens
// leave the alpha of a layered window's pixels at 0.
void PaintRing(const RECT& r) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 1;
  info.bmiHeader.biHeight = -2;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const TGdiObject colours(CreateDIBSection(BackBuffer, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bits) return;
  static_cast<uint32_t*>(bits)[0] = 0xFFFFFFFFu;
  static_cast<uint32_t*>(bits)[1] = 0xFF000000u;
  const TMemoryDc memory(BackBuffer);
  const TSelection selection(memory.Get(), colours.Get());
  for (int i = 0; i < 2; ++i) {
    const int left = r.left + i, top = r.top + i, right = r.right - i, bottom = r.bottom - i;
    const int edges[4][4] = {{left, top, right - left, 1}, {left, bottom - 1, right - left, 1},
                             {left, top, 1, bottom - top}, {right - 1, top, 1, bottom - top}};
    for (const auto& e : edges) StretchBlt(BackBuffer, e[0], e[1], e[2], e[3], memory.Get(), 0, i, 1, 1, SRCCOPY);
  }
}

bool Exists(int index) { return index >= 0 && index < ButtonCount && Buttons[index] != nullptr; }

}  // namespace

void PressButton(HWND hwnd, int index) {
  if (index < 0 || index >= ButtonTableSize) return;
  PostMessageA(hwnd, WM_PLAYER_COMMAND, WPARAM(ButtonTable[index].command), 0);
  if (ButtonTable[index].command == cmdEject) PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

int FocusedButton() { return ringShown && Exists(focus) ? focus : -1; }

bool LiftFocusRing() {
  if (!underRing) return false;
  BitBlt(BackBuffer, ringArea.left, ringArea.top, ringArea.right - ringArea.left,
         ringArea.bottom - ringArea.top, underRing->Dc(), 0, 0, SRCCOPY);
  underRing.reset();
  return true;
}

void LayFocusRing() {
  if (FocusedButton() < 0 || !BackBuffer || underRing) return;
  const RECT r = Buttons[focus]->Area();
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w < 4 || h < 4) return;
  underRing.reset(new TArgbSurface(BackBuffer, w, h));
  BitBlt(underRing->Dc(), 0, 0, w, h, BackBuffer, r.left, r.top, SRCCOPY);
  ringArea = r;
  PaintRing(r);
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
