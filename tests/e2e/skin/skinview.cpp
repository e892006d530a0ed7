// skinview: opens the main window from a disk's archive and shows its background picture, for the
// screenshot test.
//   skinview [archive] [--seconds N]
// The archive defaults to data.vfs in the current directory. Esc closes the window; with
// --seconds it also closes by itself after N seconds.
#include "app/PlayerWnd.h"
#include "skin/GdiplusSession.h"
#include "skin/SkinImage.h"
#include "skin/WindowShape.h"
#include "vfs/VfsFile.h"

#include <cstdlib>
#include <cstring>

namespace {

const UINT_PTR CloseTimer = 1;

LRESULT CALLBACK SkinViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      RECT client;
      GetClientRect(hwnd, &client);
      BitBlt(dc, 0, 0, client.right, client.bottom, BackBuffer, 0, 0, SRCCOPY);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) DestroyWindow(hwnd);
      return 0;
    case WM_TIMER:
      if (wParam == CloseTimer) DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

class TComSession {
public:
  TComSession() : started(SUCCEEDED(CoInitialize(nullptr))) {}
  ~TComSession() {
    if (started) CoUninitialize();
  }
  TComSession(const TComSession&) = delete;
  TComSession& operator=(const TComSession&) = delete;
  const bool started;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const char* archivePath = "data.vfs";
  int seconds = 0;
  for (int i = 1; i < __argc; ++i) {
    if (strcmp(__argv[i], "--seconds") == 0 && i + 1 < __argc)
      seconds = atoi(__argv[++i]);
    else
      archivePath = __argv[i];
  }

  OsVersion.dwOSVersionInfoSize = sizeof(OsVersion);
  GetVersionExA(&OsVersion);
  DrawingOsVersion = int8_t(OsVersion.dwMajorVersion);

  TComSession com;
  if (!com.started) return 1;
  TGdiplusSession gdiplus;
  TVfsFile archive(archivePath);
  Archive = &archive;
  if (IsLayeredOs())
    MainWindow = new TPlayerWnd(instance, InitWindowShape, FreeWindowShape);
  else
    MainWindow = new TPlayerWndClassic(instance, InitWindowShape, FreeWindowShape);
  MainWindow->Present(BackBuffer);
  MainWindow->SetWindowProc(SkinViewProc);
  if (seconds > 0) SetTimer(MainWindow->GetHandle(), CloseTimer, UINT(seconds) * 1000, nullptr);
  if (MainWindow->GetHandle()) MainWindow->RunMessageLoop();

  delete MainWindow;
  MainWindow = nullptr;
  Archive = nullptr;
  return 0;
}
