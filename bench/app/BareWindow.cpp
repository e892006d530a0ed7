// The yardstick for start-up: a bare Win32 popup of the disk's size, shown and painted once.
#include "bench/app/StartUpTime.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "BareWindow";
  RegisterClassExA(&windowClass);
  HWND hwnd = CreateWindowExA(0, "BareWindow", "bare", WS_POPUP | WS_VISIBLE, 100, 100, 500, 300,
                              nullptr, nullptr, instance, nullptr);
  UpdateWindow(hwnd);
  return ReportStartUpTime();
}
