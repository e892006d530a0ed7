// Answers this process's message boxes from a second thread, the way a person would: reads the
// caption and the text, then presses OK.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TBoxWatcher {
public:
  TBoxWatcher() : worker([this] { Watch(); }) {}
  ~TBoxWatcher() {
    done = true;
    worker.join();
  }
  TBoxWatcher(const TBoxWatcher&) = delete;
  TBoxWatcher& operator=(const TBoxWatcher&) = delete;

  // Each box seen so far, as "caption|text".
  std::vector<std::string> Seen() {
    std::lock_guard<std::mutex> lock(mutex);
    return seen;
  }

  // The boxes seen once `count` have been answered, or when the time is up.
  std::vector<std::string> WaitFor(size_t count, DWORD timeoutMs = 10000) {
    for (DWORD waited = 0; Seen().size() < count && waited < timeoutMs; waited += 20) Sleep(20);
    return Seen();
  }

private:
  static std::string TextOf(HWND window) {
    char text[1024] = {};
    if (window) GetWindowTextA(window, text, sizeof text);
    return text;
  }

  static BOOL CALLBACK Visit(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (process == GetCurrentProcessId() && std::string(name) == "#32770" && IsWindowVisible(window)) {
      reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    }
    return TRUE;
  }

  void Watch() {
    while (!done) {
      std::vector<HWND> boxes;
      EnumWindows(Visit, reinterpret_cast<LPARAM>(&boxes));
      for (HWND box : boxes) {
        {
          std::lock_guard<std::mutex> lock(mutex);
          seen.push_back(TextOf(box) + "|" + TextOf(GetDlgItem(box, 0xFFFF)));
        }
        SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(10);  // seen once, not twice
      }
      Sleep(20);
    }
  }

  std::atomic<bool> done{false};
  std::mutex mutex;
  std::vector<std::string> seen;
  std::thread worker;
};
