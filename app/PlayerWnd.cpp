#include "app/PlayerWnd.h"

TPlayerWnd* MainWindow = nullptr;

void PresentMainWindow() { MainWindow->Present(BackBuffer); }

static const char WindowCaption[] = "Music disk";
static const char FailureCaption[] = "Shit!";

TPlayerWnd::TPlayerWnd(HINSTANCE instance, TWndHook initHook, TWndHook teardownHook)
    : hwnd(nullptr), instance(nullptr), initHook(nullptr), teardownHook(nullptr),
      dragging(false), dragOffsetX(0), dragOffsetY(0) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(WNDCLASSEXA);
  windowClass.style = CS_DBLCLKS | CS_SAVEBITS;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(ApplicationIconId));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = PlayerWndClassName;
  windowClass.hIconSm = nullptr;
  this->instance = instance;

  if (RegisterClassExA(&windowClass) == 0)
    MessageBoxA(nullptr, "RegisterClassEx failed", FailureCaption, MB_ICONERROR);

  hwnd = CreateWindowExA(0, PlayerWndClassName, WindowCaption, WS_POPUP | WS_VISIBLE | WS_SYSMENU,
                         PlayerWndX, PlayerWndY, 0, 0, nullptr, nullptr, instance, nullptr);
  if (hwnd == nullptr)
    MessageBoxA(nullptr, "Cannot create main window", FailureCaption, MB_ICONERROR);

  this->initHook = initHook;
  this->teardownHook = teardownHook;
  if (initHook) initHook(hwnd);
}

TPlayerWnd::~TPlayerWnd() {
  if (teardownHook) teardownHook(hwnd);
  DestroyWindow(hwnd);
  UnregisterClassA(PlayerWndClassName, instance);
}

BOOL TPlayerWnd::Present(HDC backBuffer) {
  // A minimised window's rectangle is the system's placeholder, not ours: the restore presents.
  if (IsIconic(hwnd)) return FALSE;
  RECT window = {};
  GetWindowRect(hwnd, &window);
  return UpdateLayered(hwnd, {window.left, window.top},
                       {window.right - window.left, window.bottom - window.top}, backBuffer);
}

BOOL TPlayerWndClassic::Present(HDC) {
  return InvalidateRect(GetHandle(), nullptr, FALSE);
}

// A minimised window's rectangle is its icon's: the restore presents it all again instead.
// Windows copies only the dirty rectangle; Wine redoes the whole window, which costs it more.
BOOL TPlayerWnd::PresentRect(HDC backBuffer, const RECT& dirty) {
  if (IsIconic(hwnd)) return FALSE;
  return UpdateLayeredPart(hwnd, backBuffer, dirty);
}

BOOL TPlayerWndClassic::PresentRect(HDC, const RECT& dirty) {
  return InvalidateRect(GetHandle(), &dirty, FALSE);
}

void TPlayerWnd::SetWindowProc(WNDPROC procedure) {
  SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
}

void TPlayerWnd::RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}
