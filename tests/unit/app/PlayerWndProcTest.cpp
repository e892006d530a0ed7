#include "app/PlayerWnd.h"
#include "app/PlayerWndProc.h"
#include "player/Commands.h"
#include "player/Transport.h"

#include <gtest/gtest.h>

#include <new>

namespace {
int commandsTaken = 0;
}  // namespace

// As when memory runs out inside a command.
void OnPlayerCommandMessage(int, LPARAM) {
  ++commandsTaken;
  throw std::bad_alloc();
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
  EXPECT_EQ(commandsTaken, 2);
  EXPECT_FALSE(IsWindow(hwnd));
  MainWindow = nullptr;
}

}  // namespace
