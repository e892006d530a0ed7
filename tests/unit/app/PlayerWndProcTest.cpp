#include "app/PlayerWnd.h"
#include "app/PlayerWndProc.h"
#include "player/Commands.h"
#include "player/Transport.h"

#include <oleacc.h>
#include <gtest/gtest.h>

#include <new>
#include <vector>

namespace {
std::vector<int> commandsTaken;
}  // namespace

// As when memory runs out inside a command.
void OnPlayerCommandMessage(int code, LPARAM) {
  commandsTaken.push_back(code);
  throw std::bad_alloc();
}

THeardSound GetHeardSound(int16_t*, uint32_t) { return THeardSound(); }
int32_t CurrentSongFrames() { return -1; }

namespace {

class PlayerWndProcTest : public testing::Test {
protected:
  PlayerWndProcTest() {
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

// The shell's hook carries the four media commands of keys no focused window took: each becomes
// the button's own post, and nothing else does. The accessible object then outlives the window.
TEST_F(PlayerWndProcTest, TheShellHookPostsTheMediaCommandsAndTheReaderSurvivesTheWindow) {
  const UINT shellHook = RegisterWindowMessageA("SHELLHOOK");
  auto command = [](int appCommand) { return MAKELPARAM(0, FAPPCOMMAND_KEY | appCommand); };
  commandsTaken.clear();
  for (int appCommand : {APPCOMMAND_MEDIA_NEXTTRACK, APPCOMMAND_MEDIA_PLAY_PAUSE, APPCOMMAND_VOLUME_UP,
                         APPCOMMAND_MEDIA_STOP, APPCOMMAND_MEDIA_PREVIOUSTRACK})
    PostMessageA(hwnd, shellHook, HSHELL_APPCOMMAND, command(appCommand));
  PostMessageA(hwnd, shellHook, HSHELL_WINDOWACTIVATED, command(APPCOMMAND_MEDIA_NEXTTRACK));
  EXPECT_EQ(SendMessageA(hwnd, WM_APPCOMMAND, WPARAM(hwnd), command(APPCOMMAND_MEDIA_STOP)), TRUE);

  const IID accessibleIid = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  IAccessible* reader = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(hwnd, DWORD(OBJID_CLIENT), accessibleIid, reinterpret_cast<void**>(&reader)), S_OK);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  EXPECT_EQ(commandsTaken, (std::vector<int>{cmdStop, cmdForward, cmdPlayPause, cmdStop, cmdRewind}));
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
