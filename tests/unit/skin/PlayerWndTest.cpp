#include "SkinTestSupport.h"
#include "app/PlayerWnd.h"
#include "tests/support/BoxWatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// The window handle each hook was given.
std::vector<HWND> initCalls;
std::vector<HWND> teardownCalls;

int RecordInit(HWND window) {
  initCalls.push_back(window);
  return 0;
}
int RecordTeardown(HWND window) {
  teardownCalls.push_back(window);
  return 0;
}

class PlayerWndTest : public testing::Test {
protected:
  void SetUp() override {
    initCalls.clear();
    teardownCalls.clear();
  }
  HINSTANCE instance = GetModuleHandleA(nullptr);
};

TEST_F(PlayerWndTest, MakesTheVisibleEmptyPopupAndRunsTheInitHookOnce) {
  TPlayerWnd* window = new TPlayerWnd(instance, RecordInit, RecordTeardown);
  const HWND hwnd = window->GetHandle();
  ASSERT_NE(hwnd, nullptr);
  ASSERT_EQ(initCalls, std::vector<HWND>{hwnd});
  EXPECT_TRUE(teardownCalls.empty());
  EXPECT_FALSE(window->dragging);

  EXPECT_EQ(WindowBox(hwnd), (std::array<LONG, 4>{100, 100, 0, 0}));
  EXPECT_TRUE(IsWindowVisible(hwnd));
  const DWORD style = DWORD(GetWindowLongA(hwnd, GWL_STYLE));
  EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_SYSMENU), DWORD(WS_POPUP | WS_VISIBLE | WS_SYSMENU));
  EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0u);
  char caption[64] = {};
  GetWindowTextA(hwnd, caption, sizeof caption);
  EXPECT_STREQ(caption, "Music disk");

  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  ASSERT_TRUE(GetClassInfoExA(instance, "TPlayerWndClass", &windowClass));
  EXPECT_EQ(windowClass.style, UINT(CS_DBLCLKS | CS_SAVEBITS));
  EXPECT_EQ(windowClass.hbrBackground, reinterpret_cast<HBRUSH>(6));
  EXPECT_NE(windowClass.hCursor, nullptr);
  EXPECT_NE(windowClass.hIcon, nullptr);
  EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), GetClassLongPtrA(hwnd, GCLP_WNDPROC));

  delete window;
  EXPECT_EQ(teardownCalls, std::vector<HWND>{hwnd});
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_FALSE(GetClassInfoExA(instance, "TPlayerWndClass", &windowClass));
}

// The normal path: Esc has destroyed the window before teardown, and the classic variant is
// destroyed through the base type.
TEST_F(PlayerWndTest, TeardownRunsAndUnregistersAfterTheWindowIsGone) {
  TPlayerWnd* window = new TPlayerWndClassic(instance, nullptr, RecordTeardown);
  DestroyWindow(window->GetHandle());
  delete window;
  EXPECT_EQ(teardownCalls.size(), 1u);
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  EXPECT_FALSE(GetClassInfoExA(instance, "TPlayerWndClass", &windowClass));

  // Registered again by the next window: nothing was left behind.
  TPlayerWnd again(instance, nullptr, nullptr);
  EXPECT_NE(again.GetHandle(), nullptr);
}

std::vector<UINT> routed;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER) routed.push_back(message);
  if (message == WM_USER + 2) PostQuitMessage(0);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The installed procedure replaces the class's for good, and the loop ends on WM_QUIT.
TEST_F(PlayerWndTest, InstalledProcedureGetsPostedMessagesUntilQuit) {
  TPlayerWnd window(instance, nullptr, nullptr);
  window.SetWindowProc(RecordingProc);
  EXPECT_EQ(GetWindowLongPtrA(window.GetHandle(), GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(RecordingProc));
  routed.clear();
  PostMessageA(window.GetHandle(), WM_USER + 1, 0, 0);
  PostMessageA(window.GetHandle(), WM_USER + 2, 0, 0);
  PostMessageA(window.GetHandle(), WM_USER + 3, 0, 0);
  window.RunMessageLoop();
  EXPECT_EQ(routed, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
}

LRESULT CALLBACK RefuseCreation(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) return FALSE;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The class name is taken and its windows refuse to be made: both failures are told, in order,
// and construction goes on to the init hook with no window.
TEST_F(PlayerWndTest, FailuresAreReportedAndConstructionCarriesOn) {
  WNDCLASSEXA taken = {};
  taken.cbSize = sizeof taken;
  taken.lpfnWndProc = RefuseCreation;
  taken.hInstance = instance;
  taken.lpszClassName = "TPlayerWndClass";
  ASSERT_NE(RegisterClassExA(&taken), 0);

  TBoxWatcher watcher;
  TPlayerWnd* window = new TPlayerWnd(instance, RecordInit, RecordTeardown);
  EXPECT_EQ(watcher.WaitFor(2), (std::vector<std::string>{"Shit!|RegisterClassEx failed",
                                                      "Shit!|Cannot create main window"}));
  EXPECT_EQ(watcher.Icons(), (std::vector<std::string>{"error", "error"}));
  EXPECT_EQ(window->GetHandle(), nullptr);
  EXPECT_EQ(initCalls, std::vector<HWND>{nullptr});
  delete window;
  EXPECT_EQ(teardownCalls.size(), 1u);
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  EXPECT_FALSE(GetClassInfoExA(instance, "TPlayerWndClass", &windowClass));
}

}  // namespace
