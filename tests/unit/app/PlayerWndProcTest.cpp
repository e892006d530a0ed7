#include "SkinStage.h"
#include "app/PlayerWnd.h"
#include "app/PlayerWndProc.h"
#include "player/Commands.h"
#include "player/Transport.h"
#include "skin/WindowShape.h"

#include <oleacc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <vector>

namespace {
std::vector<int> commandsTaken;
void RunOutOfMemory(int) { throw std::bad_alloc(); }
// What a command does here.
void (*carryOut)(int code) = RunOutOfMemory;

void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}
}  // namespace

void OnPlayerCommandMessage(int code, LPARAM) {
  commandsTaken.push_back(code);
  carryOut(code);
}

namespace {

// Sent from inside the program, and posted through the message loop: each throw ends in the
// default result, and the window goes on to close on Esc.
TEST(PlayerWndProcTest, AThrowingHandlerGivesTheDefaultResultAndTheWindowGoesOn) {
  TPlayerWnd window(GetModuleHandleA(nullptr), nullptr, nullptr);
  MainWindow = &window;
  window.SetWindowProc(PlayerWndProc);
  const HWND hwnd = window.GetHandle();

  EXPECT_EQ(SendMessageA(hwnd, WM_PLAYER_COMMAND, cmdForward, 0),
            DefWindowProcA(hwnd, WM_PLAYER_COMMAND, cmdForward, 0));
  PostMessageA(hwnd, WM_PLAYER_COMMAND, cmdStop, 0);
  PostMessageA(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
  window.RunMessageLoop();
  EXPECT_EQ(commandsTaken, (std::vector<int>{cmdForward, cmdStop}));
  EXPECT_FALSE(IsWindow(hwnd));
  MainWindow = nullptr;
}

// The shell's hook carries the four media commands of keys no focused window took: each becomes
// the button's own post, and nothing else does. The accessible object then outlives the window.
TEST(PlayerWndProcTest, TheShellHookPostsTheMediaCommandsAndTheReaderSurvivesTheWindow) {
  TPlayerWnd window(GetModuleHandleA(nullptr), nullptr, nullptr);
  MainWindow = &window;
  window.SetWindowProc(PlayerWndProc);
  const HWND hwnd = window.GetHandle();
  const UINT shellHook = RegisterWindowMessageA("SHELLHOOK");
  auto command = [](int appCommand) { return MAKELPARAM(0, FAPPCOMMAND_KEY | appCommand); };
  commandsTaken.clear();
  for (int appCommand : {APPCOMMAND_MEDIA_NEXTTRACK, APPCOMMAND_MEDIA_PLAY_PAUSE, APPCOMMAND_VOLUME_UP,
                         APPCOMMAND_MEDIA_STOP, APPCOMMAND_MEDIA_PREVIOUSTRACK}) {
    PostMessageA(hwnd, shellHook, HSHELL_APPCOMMAND, command(appCommand));
    Pump();
  }
  PostMessageA(hwnd, shellHook, HSHELL_WINDOWACTIVATED, command(APPCOMMAND_MEDIA_NEXTTRACK));
  EXPECT_EQ(SendMessageA(hwnd, WM_APPCOMMAND, WPARAM(hwnd), command(APPCOMMAND_MEDIA_STOP)), TRUE);

  const IID accessibleIid = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  IAccessible* reader = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(hwnd, DWORD(OBJID_CLIENT), accessibleIid, reinterpret_cast<void**>(&reader)), S_OK);
  Pump();
  EXPECT_EQ(commandsTaken, (std::vector<int>{cmdForward, cmdPlayPause, cmdStop, cmdRewind, cmdStop}));
  DestroyWindow(hwnd);

  VARIANT self = {};
  self.vt = VT_I4;
  BSTR name = nullptr;
  LONG children = -1;
  const HRESULT gone = reader->get_accName(self, &name);
  EXPECT_TRUE(gone == RPC_E_DISCONNECTED || gone == E_FAIL);
  EXPECT_EQ(name, nullptr);
  EXPECT_NE(reader->get_accChildCount(&children), S_OK);
  EXPECT_NE(reader->accDoDefaultAction(self), S_OK);
  reader->Release();
  MainWindow = nullptr;
}

HWND shellHookWindow = nullptr;
void PressNextThroughShellHook() {
  PostMessageA(shellHookWindow, RegisterWindowMessageA("SHELLHOOK"), HSHELL_APPCOMMAND,
               MAKELPARAM(0, FAPPCOMMAND_KEY | APPCOMMAND_MEDIA_NEXTTRACK));
}

// Media keys held down while another window has the focus: presses that came while a change waited
// or was carried out are dropped, so none are left over after the release; a later press acts.
TEST(PlayerWndProcTest, HeldMediaKeysThroughTheShellHookLeaveNoBacklog) {
  TPlayerWnd window(GetModuleHandleA(nullptr), nullptr, nullptr);
  MainWindow = &window;
  window.SetWindowProc(PlayerWndProc);
  shellHookWindow = window.GetHandle();
  carryOut = [](int) {
    for (int i = 0; commandsTaken.size() == 1 && i < 5; ++i) PressNextThroughShellHook();
    Sleep(50);
  };
  commandsTaken.clear();
  for (int i = 0; i < 10; ++i) PressNextThroughShellHook();
  Pump();
  EXPECT_EQ(commandsTaken, std::vector<int>{cmdForward});
  PressNextThroughShellHook();
  Pump();
  EXPECT_EQ(commandsTaken, (std::vector<int>{cmdForward, cmdForward}));
  carryOut = RunOutOfMemory;
  MainWindow = nullptr;
}

// Minimised, a song change draws into the back buffer; the restore, whatever the system puts in
// the low bits of its command, shows it.
TEST(PlayerWndProcTest, ARestoreShowsWhatChangedWhileMinimised) {
  TSkinStage stage({SolidPicture("pic.png", 40, 30, 0xFF102030)});
  stage.window->SetWindowProc(PlayerWndProc);
  const HWND hwnd = stage.Handle();
  carryOut = [](int) {
    DIBSECTION dib = {};
    GetObjectA(SkinBitmap, sizeof dib, &dib);
    std::fill_n(static_cast<uint32_t*>(dib.dsBm.bmBits), dib.dsBm.bmWidth * dib.dsBm.bmHeight, 0xFF80C040u);
    PresentBackBuffer();
  };
  SendMessageA(hwnd, WM_RBUTTONUP, 0, 0);
  ASSERT_TRUE(IsIconic(hwnd));
  PostMessageA(hwnd, WM_PLAYER_COMMAND, cmdForward, 0);
  Pump();
  SendMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE | 2, 0);
  EXPECT_FALSE(IsIconic(hwnd));
  const HDC screen = GetDC(nullptr);
  COLORREF shown = 0;
  for (int i = 0; i < 100 && shown != RGB(0x80, 0xC0, 0x40); ++i, Sleep(20), Pump())
    shown = GetPixel(screen, PlayerWndX + 20, PlayerWndY + 15);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(shown, RGB(0x80, 0xC0, 0x40));
  carryOut = RunOutOfMemory;
}

}  // namespace
