#include "app/ButtonTips.h"

#include <commctrl.h>

#include "app/ButtonTable.h"
#include "player/TransportFlags.h"
#include "skin/SkinButton.h"

namespace {

HWND tips = nullptr;
// The button last pressed while the pointer is still on it: its tip would cover the picture of
// what the press did, so it waits until the pointer leaves. -1 for none.
int quietButton = -1;

int HoveredButton() {
  for (int i = 0; i < ButtonCount; ++i)
    if (Buttons[i] && (Buttons[i]->state & ButtonHover)) return i;
  return -1;
}

// Just under the button, where it hides nothing of the button's own picture.
LRESULT PlaceTip(HWND hwnd, int index) {
  if (index < 0 || index >= ButtonCount || !Buttons[index]) return FALSE;
  const RECT area = Buttons[index]->Area();
  POINT corner = {area.left, area.bottom + 2};
  ClientToScreen(hwnd, &corner);
  SetWindowPos(tips, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return TRUE;
}

}  // namespace

void CreateButtonTips(HWND owner) {
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
  InitCommonControlsEx(&classes);
  // Always, because the disk's window is often not the active one while it plays.
  tips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
  if (!tips) return;
  for (int i = 0; i < ButtonCount; ++i) {
    if (!Buttons[i]) continue;
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;  // understood by every comctl32 version
    tool.hwnd = owner;
    tool.uId = UINT_PTR(i) + 1;
    tool.rect = Buttons[i]->Area();
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(tips, TTM_ADDTOOLA, 0, LPARAM(&tool));
  }
}

void DestroyButtonTips() {
  if (tips) DestroyWindow(tips);
  tips = nullptr;
}

void RelayToTips(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!tips) return;
  const int hovered = HoveredButton();
  if (message == WM_LBUTTONDOWN && hovered >= 0) {
    // Told as a move off every button: that hides the tip and forgets a tip about to show.
    quietButton = hovered;
    message = WM_MOUSEMOVE;
    lParam = MAKELPARAM(0xFFFF, 0xFFFF);
  } else if (hovered >= 0 && hovered == quietButton) {
    return;
  } else {
    quietButton = -1;
  }
  MSG relayed = {hwnd, message, wParam, lParam, DWORD(GetMessageTime()), {}};
  SendMessageA(tips, TTM_RELAYEVENT, 0, LPARAM(&relayed));
}

LRESULT OnNotify(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
  if (header->hwndFrom == tips && header->code == TTN_SHOW) return PlaceTip(hwnd, int(header->idFrom) - 1);
  if (header->hwndFrom != tips || (header->code != TTN_GETDISPINFOA && header->code != TTN_GETDISPINFOW))
    return DefWindowProcA(hwnd, WM_NOTIFY, wParam, lParam);
  char text[80];
  FormatButtonTip(text, sizeof text, int(header->idFrom) - 1, PlayingFlag.load() != 0);
  if (header->code == TTN_GETDISPINFOA) {
    NMTTDISPINFOA* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
    lstrcpynA(info->szText, text, sizeof info->szText);
    info->lpszText = info->szText;
  } else {
    NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
    MultiByteToWideChar(CP_ACP, 0, text, -1, info->szText, 80);
    info->lpszText = info->szText;
  }
  return 0;
}
