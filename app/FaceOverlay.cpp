#include "app/FaceOverlay.h"

namespace {

const char OverlayClassName[] = "TFaceOverlayClass";

}  // namespace

bool TFaceOverlay::Create(HWND ownerWindow, const RECT& faceArea, HDC backBuffer) {
  if (popup || IsRectEmpty(&faceArea)) return false;
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = OverlayClassName;
  // Fails harmlessly for the second popup: the class is there already.
  RegisterClassExA(&windowClass);
  // Layered and transparent, clicks go through to the face beneath; no taskbar button, never active.
  popup = CreateWindowExA(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, OverlayClassName,
                          "", WS_POPUP, 0, 0, faceArea.right - faceArea.left, faceArea.bottom - faceArea.top,
                          ownerWindow, nullptr, instance, nullptr);
  if (!popup) return false;
  SetWindowLongPtrA(popup, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetLayeredWindowAttributes(popup, 0, 255, LWA_ALPHA);
  owner = ownerWindow;
  area = faceArea;
  source = backBuffer;
  TakeOutline();
  FollowOwner();
  return true;
}

void TFaceOverlay::TakeOutline() {
  HRGN outline = CreateRectRgn(0, 0, 0, 0);
  HRGN box = CreateRectRgnIndirect(&area);
  if (GetWindowRgn(owner, outline) != ERROR && CombineRgn(outline, outline, box, RGN_AND) != ERROR &&
      OffsetRgn(outline, -area.left, -area.top) != ERROR && SetWindowRgn(popup, outline, FALSE))
    outline = nullptr;  // the popup's now
  DeleteObject(box);
  if (outline) DeleteObject(outline);
}

bool TFaceOverlay::Covers(const RECT& dirty) const {
  RECT inside;
  return popup && IntersectRect(&inside, &dirty, &area) && EqualRect(&inside, &dirty);
}

BOOL TFaceOverlay::Present(HDC backBuffer, const RECT* dirty) {
  if (!popup) return FALSE;
  source = backBuffer;
  RECT inPopup = dirty ? *dirty : area;
  OffsetRect(&inPopup, -area.left, -area.top);
  return InvalidateRect(popup, &inPopup, FALSE);
}

void TFaceOverlay::OnPaint() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(popup, &paint);
  const RECT& part = paint.rcPaint;
  BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, source, area.left + part.left,
         area.top + part.top, SRCCOPY);
  EndPaint(popup, &paint);
}

LRESULT CALLBACK TFaceOverlay::WindowProc(HWND popup, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* overlay = reinterpret_cast<TFaceOverlay*>(GetWindowLongPtrA(popup, GWLP_USERDATA));
  if (message == WM_PAINT && overlay) {
    overlay->OnPaint();
    return 0;
  }
  return DefWindowProcA(popup, message, wParam, lParam);
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
  if (!popup) return;
  DestroyWindow(popup);
  popup = nullptr;
  // Fails harmlessly while the other popup is still there; the last one out unregisters.
  UnregisterClassA(OverlayClassName, GetModuleHandleA(nullptr));
}
