#include "app/KeyCommands.h"

#include "app/ButtonFocus.h"
#include "app/ButtonTable.h"
#include "app/FaceTimer.h"
#include "app/ListenerSettings.h"
#include "player/Commands.h"
#include "player/Transport.h"
#include "player/TransportFlags.h"

namespace {

// Nothing was carried out before the program began, however long the system has been up.
DWORD commandDoneAt = GetTickCount();
// Set while a stale repeat of a key is in its default handling, which may make WM_APPCOMMAND of it.
bool inStaleRepeat = false;

constexpr LPARAM RepeatBit = LPARAM(1) << 30;

bool CameDuringCommand() { return WaitedForCommand(DWORD(GetMessageTime()), commandDoneAt); }

bool IsStaleRepeat(LPARAM flags) { return (flags & RepeatBit) != 0 && CameDuringCommand(); }

bool CommandWaits(HWND hwnd) {
  MSG waiting;
  // A WM_QUIT comes back whatever the filter.
  return PeekMessageA(&waiting, hwnd, WM_PLAYER_COMMAND, WM_PLAYER_COMMAND, PM_NOREMOVE | PM_QS_POSTMESSAGE) &&
         waiting.message == WM_PLAYER_COMMAND;
}

// The command of a media APPCOMMAND, or 0 for the rest.
int MediaCommand(LPARAM lParam) {
  switch (GET_APPCOMMAND_LPARAM(lParam)) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE: return cmdPlayPause;
    case APPCOMMAND_MEDIA_STOP: return cmdStop;
    case APPCOMMAND_MEDIA_NEXTTRACK: return cmdForward;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK: return cmdRewind;
  }
  return 0;
}

// Left and Right move 5 s, with Ctrl 30 s. Held, they move one target on, heard as they go.
bool TakeSeekKey(HWND hwnd, WPARAM key) {
  if (key != VK_LEFT && key != VK_RIGHT) return false;
  const int32_t step = GetKeyState(VK_CONTROL) < 0 ? 30 : 5;
  SeekBy(key == VK_LEFT ? -step : step);
  WakeFace(hwnd);
  return true;
}

void TakeKey(HWND hwnd, WPARAM key, LPARAM flags) {
  if (key == VK_ESCAPE) {
    DestroyWindow(hwnd);
    return;
  }
  if (key == VK_TAB) return MoveFocus(hwnd, GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
  if (IsStaleRepeat(flags) || TakeSeekKey(hwnd, key)) return;
  // A held W would cycle through the widths and land anywhere.
  if (key == WidthKey.key && (flags & RepeatBit)) return;
  if (key == WidthKey.key) {
    CycleListenerWidth();
    ListenerChanged(hwnd);
    return;
  }
  if (key == VK_UP || key == VK_DOWN) return SetListenerVolume(hwnd, ListenerVolume + (key == VK_UP ? 5 : -5));
  const int focused = FocusedButton();
  if (focused >= 0 && (key == VK_RETURN || key == VK_SPACE)) return PressButton(hwnd, focused);
  PressButton(hwnd, ButtonForKey(int(key)));
}

}  // namespace

LRESULT OnKeyDown(HWND hwnd, WPARAM key, LPARAM flags) {
  TakeKey(hwnd, key, flags);
  inStaleRepeat = IsStaleRepeat(flags);
  const LRESULT result = DefWindowProcA(hwnd, WM_KEYDOWN, key, flags);
  inStaleRepeat = false;
  return result;
}

LRESULT OnAppCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  const int command = MediaCommand(lParam);
  if (command == 0) return DefWindowProcA(hwnd, WM_APPCOMMAND, wParam, lParam);
  if (!inStaleRepeat) PostMessageA(hwnd, WM_PLAYER_COMMAND, WPARAM(command), 0);
  return TRUE;
}

// Asked for on the window thread alone, the first time a message comes.
UINT ShellHookMessage() {
  static UINT message = 0;
  if (message == 0) message = RegisterWindowMessageA("SHELLHOOK");
  return message;
}

void RegisterShellHook(HWND hwnd) { RegisterShellHookWindow(hwnd); }
void DeregisterShellHook(HWND hwnd) { DeregisterShellHookWindow(hwnd); }

LRESULT OnShellHook(HWND hwnd, WPARAM code, LPARAM lParam) {
  const int command = code == HSHELL_APPCOMMAND ? MediaCommand(lParam) : 0;
  if (command == 0) return DefWindowProcA(hwnd, ShellHookMessage(), code, lParam);
  // The hook tells no repeat from a press: one that came while a command was carried out, or that
  // queued up behind one still waiting for its turn, counts as a repeat.
  if (!CameDuringCommand() && !CommandWaits(hwnd)) PostMessageA(hwnd, WM_PLAYER_COMMAND, WPARAM(command), 0);
  return TRUE;
}

void CommandCarriedOut() { commandDoneAt = GetTickCount(); }

bool WaitedForCommand(DWORD messageTime, DWORD doneAt) {
  const DWORD waited = doneAt - messageTime;
  return waited != 0 && waited <= 60000;
}
