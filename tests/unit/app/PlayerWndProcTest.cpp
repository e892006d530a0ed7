#include "SkinStage.h"
#include "app/KeyCommands.h"
#include "app/PlayerWndProc.h"
#include "player/Commands.h"
#include "player/Transport.h"
#include "player/TransportFlags.h"

#include <oleacc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <vector>

namespace {
std::vector<int> commandsTaken;
// As when memory runs out inside a command.
void (*carryOut)(int code) = [](int) { throw std::bad_alloc(); };
}  // namespace

void OnPlayerCommandMessage(int code, LPARAM) {
  commandsTaken.push_back(code);
  carryOut(code);
}

THeardSound GetHeardSound(int16_t*, uint32_t) { return THeardSound(); }
int32_t CurrentSongFrames() { return -1; }
std::vector<int> volumesOnTheBuffer;
void ApplyListenerVolume() { volumesOnTheBuffer.push_back(ListenerVolume); }
std::vector<int> seeks;
void SeekBy(int32_t seconds) { seeks.push_back(seconds); }
void SeekTo(int64_t) {}

namespace {

class PlayerWndProcTest : public testing::Test {
protected:
  PlayerWndProcTest() {
    SetEnvironmentVariableA("APPDATA", nullptr);  // what the keys change is kept nowhere
    MainWindow = &window;
    window.SetWindowProc(PlayerWndProc);
  }
  ~PlayerWndProcTest() override { MainWindow = nullptr; }
  TPlayerWnd window{GetModuleHandleA(nullptr), nullptr, nullptr};
  const HWND hwnd = window.GetHandle();
};

// Sent from inside the program, and posted through the message loop: each throw ends in the
// default result, and the window goes on to close on Esc.
TEST_F(PlayerWndProcTest, AThrowingHandlerGivesTheDefaultResultAndTheWindowGoesOn) {
  EXPECT_EQ(SendMessageA(hwnd, WM_PLAYER_COMMAND, cmdForward, 0),
            DefWindowProcA(hwnd, WM_PLAYER_COMMAND, cmdForward, 0));
  PostMessageA(hwnd, WM_PLAYER_COMMAND, cmdStop, 0);
  PostMessageA(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
  window.RunMessageLoop();
  EXPECT_EQ(commandsTaken, (std::vector<int>{cmdForward, cmdStop}));
  EXPECT_FALSE(IsWindow(hwnd));
}

// Wheel notches, whole or of a fine wheel's parts, and Up and Down, held too, step the volume at
// once, also where nothing can be kept (a file stands where the folder would go).
TEST_F(PlayerWndProcTest, TheWheelAndTheArrowsStepTheVolumeAtOnce) {
  SetEnvironmentVariableA("APPDATA", "C:\\windows\\win.ini");
  for (int delta : {-120, -240, 40, 40, -40, -80, 120, 120, 120, 120, 120}) SendMessageA(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0);
  for (LPARAM flags : {LPARAM(1), LPARAM(1) | LPARAM(1) << 30}) PostMessageA(hwnd, WM_KEYDOWN, VK_DOWN, flags);
  for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&m);
  EXPECT_EQ(volumesOnTheBuffer, (std::vector<int>{95, 85, 80, 85, 90, 95, 100, 95, 90}));
}

// A held W changes the width once. A message waited for a command only if it came within the
// minute before it was done, across the tick count's wrap, and however long the disk sat idle.
TEST_F(PlayerWndProcTest, HeldKeysAndIdleDaysAreToldFromCommandsThatWaited) {
  for (LPARAM flags : {LPARAM(1), LPARAM(1) | LPARAM(1) << 30, LPARAM(1) | LPARAM(1) << 30}) SendMessageA(hwnd, WM_KEYDOWN, 'W', flags);
  EXPECT_EQ(ListenerWidth, 50);
  ListenerWidth = 100;
  for (WPARAM key : {VK_RIGHT, VK_LEFT, VK_RIGHT}) SendMessageA(hwnd, WM_KEYDOWN, key, LPARAM(1) | LPARAM(1) << 30);
  EXPECT_EQ(seeks, (std::vector<int>{5, -5, 5}));  // held, each repeat moves the target on
  EXPECT_TRUE(WaitedForCommand(1000, 2000));
  EXPECT_TRUE(WaitedForCommand(0xFFFFFF00u, 0x100));
  EXPECT_FALSE(WaitedForCommand(2000, 2000));
  EXPECT_FALSE(WaitedForCommand(3000, 2000));
  EXPECT_FALSE(WaitedForCommand(1000, 1000 + 60001));
  EXPECT_FALSE(WaitedForCommand(1000 + 0x80000001u, 1000));  // 24.8 days after the last command
}

// The shell's hook carries the four media commands of keys no focused window took: each becomes
// the button's own post, and nothing else does. The accessible object then outlives the window.
// Held keys leave no backlog, and a restore shows what the changes drew while minimised.
TEST(PlayerWndProcShellHookTest, TheShellHookPostsTheMediaCommandsAndTheReaderSurvivesTheWindow) {
  TSkinStage stage({SolidPicture("pic.png", 40, 30, 0xFF102030)});
  stage.window->SetWindowProc(PlayerWndProc);
  const HWND hwnd = stage.Handle();
  static const UINT shellHook = RegisterWindowMessageA("SHELLHOOK");
  auto command = [](int appCommand) { return MAKELPARAM(0, FAPPCOMMAND_KEY | appCommand); };
  carryOut = [](int) {
    PatBlt(BackBuffer, 0, 0, 40, 30, WHITENESS);
    PresentBackBuffer();
    if (commandsTaken.size() < 20)  // the key, still held, comes again; bounded should it be taken
      PostMessageA(SkinWindow, shellHook, HSHELL_APPCOMMAND, MAKELPARAM(0, FAPPCOMMAND_KEY | APPCOMMAND_MEDIA_NEXTTRACK));
    Sleep(50);
  };
  SendMessageA(hwnd, WM_RBUTTONUP, 0, 0);
  commandsTaken.clear();
  for (int appCommand : {APPCOMMAND_MEDIA_NEXTTRACK, APPCOMMAND_MEDIA_PLAY_PAUSE, APPCOMMAND_VOLUME_UP,
                         APPCOMMAND_MEDIA_STOP, APPCOMMAND_MEDIA_PREVIOUSTRACK, 0}) {
    // Each press on its own, then three at once.
    for (int i = 0; i < (appCommand ? 1 : 3); ++i)
      PostMessageA(hwnd, shellHook, HSHELL_APPCOMMAND, command(appCommand ? appCommand : APPCOMMAND_MEDIA_NEXTTRACK));
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&m);
  }
  PostMessageA(hwnd, shellHook, HSHELL_WINDOWACTIVATED, command(APPCOMMAND_MEDIA_NEXTTRACK));
  EXPECT_EQ(SendMessageA(hwnd, WM_APPCOMMAND, WPARAM(hwnd), command(APPCOMMAND_MEDIA_STOP)), TRUE);

  const IID accessibleIid = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  IAccessible* reader = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(hwnd, DWORD(OBJID_CLIENT), accessibleIid, reinterpret_cast<void**>(&reader)), S_OK);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  EXPECT_EQ(commandsTaken, (std::vector<int>{cmdForward, cmdPlayPause, cmdStop, cmdRewind, cmdForward, cmdStop}));
  SendMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE | 2, 0);
  const HDC screen = GetDC(nullptr);
  for (int i = 0; i < 100 && GetPixel(screen, PlayerWndX + 20, PlayerWndY + 15) != RGB(255, 255, 255); ++i) Sleep(20);
  EXPECT_EQ(GetPixel(screen, PlayerWndX + 20, PlayerWndY + 15), RGB(255, 255, 255));
  // Restored by another program, without SC_RESTORE: what was drawn meanwhile shows all the same.
  SendMessageA(hwnd, WM_RBUTTONUP, 0, 0);
  DIBSECTION skin = {};
  GetObjectA(SkinBitmap, sizeof skin, &skin);
  GdiFlush();
  std::fill_n(static_cast<uint32_t*>(skin.dsBm.bmBits), 40 * 30, 0xFF102030u);
  PresentBackBuffer();
  ShowWindow(hwnd, SW_RESTORE);
  for (int i = 0; i < 100 && GetPixel(screen, PlayerWndX + 20, PlayerWndY + 15) != RGB(0x10, 0x20, 0x30); ++i) Sleep(20);
  EXPECT_EQ(GetPixel(screen, PlayerWndX + 20, PlayerWndY + 15), RGB(0x10, 0x20, 0x30));
  ReleaseDC(nullptr, screen);
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
}

}  // namespace
