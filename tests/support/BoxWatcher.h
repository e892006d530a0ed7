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

  // The icon of each box seen so far: "error", "information", "warning", "question" or "none".
  std::vector<std::string> Icons() {
    std::lock_guard<std::mutex> lock(mutex);
    return icons;
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

  static std::string IconOf(HWND box) {
    HICON shown = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child && !shown; child = GetWindow(child, GW_HWNDNEXT)) {
      if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    }
    if (!shown) return "none";
    // The system icons are shared within the process: the box shows the very same handles.
    const struct {
      LPCSTR id;
      const char* name;
    } known[] = {{IDI_ERROR, "error"}, {IDI_INFORMATION, "information"}, {IDI_WARNING, "warning"},
                 {IDI_QUESTION, "question"}};
    for (const auto& k : known)
      if (LoadIconA(nullptr, k.id) == shown) return k.name;
    return "other";
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
          icons.push_back(IconOf(box));
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
  std::vector<std::string> icons;
  std::thread worker;
};
