#include "app/PlayerWndProc.h"

#include <algorithm>

#include "app/AccessibleClient.h"
#include "app/ButtonFocus.h"
#include "app/ButtonTips.h"
#include "app/FaceTimer.h"
#include "app/KeyCommands.h"
#include "app/ListenerSettings.h"
#include "app/PlayerWnd.h"
#include "player/Commands.h"
#include "player/Transport.h"
#include "skin/FaceDisplay.h"
#include "skin/SkinButton.h"
#include "skin/SongPictures.h"
#include "skin/WindowShape.h"

namespace {

// Unsigned on purpose: a captured pointer left of or above the window lands far outside every
// button instead of at a small negative offset.
int32_t MouseX(LPARAM lParam) { return int32_t(LOWORD(lParam)); }
int32_t MouseY(LPARAM lParam) { return int32_t(HIWORD(lParam)); }

void OnPaint(HWND hwnd) {
  PAINTSTRUCT paint = {};
  HDC dc = BeginPaint(hwnd, &paint);
  const RECT& r = paint.rcPaint;
  BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, BackBuffer, r.left, r.top, SRCCOPY);
  EndPaint(hwnd, &paint);
}

void Minimise(HWND hwnd) { DefWindowProcA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0); }

void OnDestroy(HWND hwnd) {
  LiftFocusRing();
  DeregisterShellHook(hwnd);
  DestroyButtonTips();
  DisconnectAccessible();
  PostQuitMessage(0);
}

// Buttons redraw over the focus ring, which then goes back on top of their new pictures.
template <class TRedraw>
void UnderFocusRing(TRedraw redraw) {
  const bool ring = LiftFocusRing();
  redraw();
  if (ring) {
    LayFocusRing();
    PresentBackBuffer();
  }
}

LRESULT OnSysCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = DefWindowProcA(hwnd, WM_SYSCOMMAND, wParam, lParam);
  // The low four bits are the system's own.
  if ((wParam & 0xFFF0) == SC_RESTORE) MainWindow->Present(BackBuffer);
  return result;
}

// A restore by another program's ShowWindow, or by Win+Shift+M, comes without SC_RESTORE; nothing
// was shown while minimised, so the whole face goes up again.
void OnSize(WPARAM kind) {
  if (kind == SIZE_RESTORED && MainWindow) MainWindow->Present(BackBuffer);
}

// A press on the seek or the volume bar holds it: the lit part follows the pointer, and the
// release sets the place or the volume. It starts no drag of the window.
TFacePart HeldBar = FacePartCount;

// Signed: a bar held while the pointer leaves the window goes to its end, not to the other one.
double BarFractionAt(LPARAM lParam) {
  return FaceBarFraction(HeldBar, int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam)));
}

// The volume follows the pointer as it goes; the place only where the button is let go.
void MoveHeldBar(HWND hwnd, LPARAM lParam) {
  HoldFaceBar(HeldBar, BarFractionAt(lParam));
  if (HeldBar == FaceVolumeBar) SetListenerVolume(hwnd, int(BarFractionAt(lParam) * 100 + 0.5));
  ShowFaceNow(hwnd);
}

void ReleaseHeldBar(HWND hwnd, LPARAM lParam) {
  const double fraction = BarFractionAt(lParam);
  if (HeldBar == FaceSeekBar) SeekTo(int64_t(fraction * std::max(CurrentSongFrames(), 0)));
  if (HeldBar == FaceVolumeBar) SetListenerVolume(hwnd, int(fraction * 100 + 0.5));
  HeldBar = FacePartCount;
  ReleaseFaceBar();
  ShowFaceNow(hwnd);
}

void OnMouseMove(HWND hwnd, WPARAM keys, LPARAM lParam) {
  if (HeldBar != FacePartCount) return MoveHeldBar(hwnd, lParam);
  // The release may have gone to another window.
  if (!(keys & MK_LBUTTON)) MainWindow->dragging = false;
  if (MainWindow->dragging) {
    POINT cursor;
    GetCursorPos(&cursor);
    SetWindowPos(hwnd, nullptr, cursor.x + MainWindow->dragOffsetX,
                 cursor.y + MainWindow->dragOffsetY, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  UnderFocusRing([lParam] { ButtonsMouseMove(MouseX(lParam), MouseY(lParam)); });
  RelayToTips(hwnd, WM_MOUSEMOVE, keys, lParam);
}

void OnLeftButtonDown(HWND hwnd, WPARAM keys, LPARAM lParam) {
  RelayToTips(hwnd, WM_LBUTTONDOWN, keys, lParam);
  HideFocusRing();
  SetCapture(hwnd);
  HeldBar = FaceBarAt(MouseX(lParam), MouseY(lParam));
  if (HeldBar != FacePartCount) return MoveHeldBar(hwnd, lParam);
  MainWindow->dragging = true;
  POINT cursor;
  GetCursorPos(&cursor);
  RECT window;
  GetWindowRect(hwnd, &window);
  MainWindow->dragOffsetX = window.left - cursor.x;
  MainWindow->dragOffsetY = window.top - cursor.y;
  ButtonsMouseButton(true);
}

void OnLeftButtonUp(HWND hwnd, WPARAM keys, LPARAM lParam) {
  RelayToTips(hwnd, WM_LBUTTONUP, keys, lParam);
  if (HeldBar != FacePartCount) {
    ReleaseHeldBar(hwnd, lParam);
    ReleaseCapture();
    return;
  }
  MainWindow->dragging = false;
  UnderFocusRing([] { ButtonsMouseButton(false); });
  ReleaseCapture();
}

// Alt+Tab, a right click while the left button is held, or anyone's SetCapture: no release
// will come.
void OnCaptureChanged(HWND hwnd, LPARAM newCapture) {
  if (reinterpret_cast<HWND>(newCapture) == hwnd) return;
  MainWindow->dragging = false;
  if (HeldBar == FacePartCount) return;
  HeldBar = FacePartCount;
  ReleaseFaceBar();
  ShowFaceNow(hwnd);
}

// Each notch a step of the volume, up louder. A high-resolution wheel's parts of a notch add up,
// until it turns the other way.
void OnMouseWheel(HWND hwnd, WPARAM wParam) {
  static int turned = 0;
  const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
  if ((turned < 0) != (delta < 0)) turned = 0;
  turned += delta;
  const int notches = turned / WHEEL_DELTA;
  turned -= notches * WHEEL_DELTA;
  if (notches) SetListenerVolume(hwnd, ListenerVolume + 5 * notches);
}

void OnPlayerCommand(HWND hwnd, WPARAM code, LPARAM lParam) {
  const TPlayState before = CurrentPlayState();
  if (code == cmdInfo)
    ToggleInfo();
  else
    OnPlayerCommandMessage(int(code), lParam);
  CommandCarriedOut();
  // A held mouse press shows the outcome at its release.
  if (!MainWindow->dragging) UnderFocusRing([] { ButtonsShowTransport(); });
  AnnounceChanges(hwnd, before);
  WakeFace(hwnd);
}

LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == ShellHookMessage()) return OnShellHook(hwnd, wParam, lParam);
  switch (message) {
    case WM_DESTROY: OnDestroy(hwnd); break;
    case WM_PAINT: OnPaint(hwnd); return 0;
    case WM_NCRBUTTONUP: Minimise(hwnd); break;
    case WM_KEYDOWN: return OnKeyDown(hwnd, wParam, lParam);
    case WM_APPCOMMAND: return OnAppCommand(hwnd, wParam, lParam);
    case WM_GETOBJECT: return OnGetObject(hwnd, wParam, lParam);
    case WM_NOTIFY: return OnNotify(hwnd, wParam, lParam);
    case WM_SYSCOMMAND: return OnSysCommand(hwnd, wParam, lParam);
    case WM_TIMER: FadeTick(hwnd); return 0;
    case WM_SIZE: OnSize(wParam); break;
    case WM_MOUSEMOVE: OnMouseMove(hwnd, wParam, lParam); break;
    // The class asks for double clicks, so the second of two quick presses comes as one.
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONDOWN: OnLeftButtonDown(hwnd, wParam, lParam); break;
    case WM_LBUTTONUP: OnLeftButtonUp(hwnd, wParam, lParam); break;
    case WM_CAPTURECHANGED: OnCaptureChanged(hwnd, lParam); break;
    case WM_RBUTTONUP: Minimise(hwnd); break;
    case WM_MOUSEWHEEL: OnMouseWheel(hwnd, wParam); return 0;
    case WM_PLAYER_COMMAND: OnPlayerCommand(hwnd, wParam, lParam); break;
    case WM_SONG_STARTED: ShowSongPictures(hwnd); WakeFace(hwnd); break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

void StartPlayerInput(HWND hwnd) {
  RegisterShellHook(hwnd);
  CreateButtonTips(hwnd);
}

// Nothing may unwind into the system's frames that called us: 64-bit Windows swallows such an
// exception or ends the process, depending on its version.
LRESULT CALLBACK PlayerWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleMessage(hwnd, message, wParam, lParam);
  } catch (...) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}
