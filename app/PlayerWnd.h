// The one top-level window: class registration, the borderless popup, the message loop and the
// presentation of the back buffer (layered, or repainted in the classic variant).
#pragma once
#include <windows.h>

#include <cstdint>

#include "skin/WindowShape.h"

// Run once after the window is made (init) or before it is destroyed (teardown). The result is
// not read.
typedef int (*TWndHook)(HWND window);

class TPlayerWnd {
public:
  TPlayerWnd(HINSTANCE instance, TWndHook initHook, TWndHook teardownHook);
  virtual BOOL Present(HDC backBuffer);
  // Shows only `dirty` of the back buffer anew; the window stays where it is.
  virtual BOOL PresentRect(HDC backBuffer, const RECT& dirty);
  // Virtual so that deleting the classic variant through this type is well defined.
  virtual ~TPlayerWnd();
  TPlayerWnd(const TPlayerWnd&) = delete;
  TPlayerWnd& operator=(const TPlayerWnd&) = delete;

  HWND GetHandle() const { return hwnd; }
  // Replaces the class's DefWindowProcA for good; `procedure` calls DefWindowProcA itself.
  void SetWindowProc(WNDPROC procedure);
  // Returns after WM_QUIT.
  void RunMessageLoop();

private:
  HWND hwnd;
  HINSTANCE instance;
  TWndHook initHook;
  TWndHook teardownHook;

public:
  // Window drag state, kept by the window procedure.
  bool dragging;
  int32_t dragOffsetX;  // window left minus cursor x at the last left-button press
  int32_t dragOffsetY;  // window top minus cursor y
};

// Below OS major version 5: a plain popup that repaints from the back buffer on WM_PAINT.
class TPlayerWndClassic : public TPlayerWnd {
public:
  using TPlayerWnd::TPlayerWnd;
  BOOL Present(HDC backBuffer) override;
  BOOL PresentRect(HDC backBuffer, const RECT& dirty) override;
};

// The one main window: a TPlayerWnd, or a TPlayerWndClassic below major version 5.
extern TPlayerWnd* MainWindow;
// Shows the back buffer in it: the skin's PresentProc while there is one.
void PresentMainWindow();

constexpr char PlayerWndClassName[] = "TPlayerWndClass";
constexpr int ApplicationIconId = 103;
