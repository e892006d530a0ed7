#include "app/FaceOverlay.h"

#include "skin/WindowShape.h"

bool TFaceOverlay::Create(HWND ownerWindow, const RECT& faceArea, HDC backBuffer) {
  if (popup || IsRectEmpty(&faceArea)) return false;
  // A predefined class: the popup is only ever updated, never painted. Layered and transparent,
  // clicks go through to the face beneath; no taskbar button, never active.
  popup = CreateWindowExA(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, "STATIC", "",
                          WS_POPUP, 0, 0, faceArea.right - faceArea.left, faceArea.bottom - faceArea.top,
                          ownerWindow, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!popup) return false;
  owner = ownerWindow;
  area = faceArea;
  PresentAll(backBuffer);
  FollowOwner();
  return true;
}

bool TFaceOverlay::Covers(const RECT& dirty) const {
  RECT inside;
  return popup && IntersectRect(&inside, &dirty, &area) && EqualRect(&inside, &dirty);
}

BOOL TFaceOverlay::Present(HDC backBuffer, const RECT& dirty) {
  if (!popup) return FALSE;
  RECT inPopup = dirty;
  OffsetRect(&inPopup, -area.left, -area.top);
  return UpdateLayeredPart(popup, {area.right - area.left, area.bottom - area.top}, backBuffer, {area.left, area.top},
                           inPopup);
}

void TFaceOverlay::FollowOwner() {
  if (!popup) return;
  const UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
  if (!IsWindowVisible(owner) || IsIconic(owner)) {
    SetWindowPos(popup, nullptr, 0, 0, 0, 0, flags | SWP_NOMOVE | SWP_HIDEWINDOW);
    return;
  }
  RECT window = {};
  GetWindowRect(owner, &window);
  SetWindowPos(popup, nullptr, window.left + area.left, window.top + area.top, 0, 0, flags | SWP_SHOWWINDOW);
}

void TFaceOverlay::Destroy() {
  if (popup) DestroyWindow(popup);
  popup = nullptr;
}
