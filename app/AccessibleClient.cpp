#include "app/AccessibleClient.h"

#include <oleacc.h>

#include "app/ButtonFocus.h"
#include "app/ButtonTable.h"
#include "player/PlayList.h"
#include "player/Transport.h"
#include "player/TransportFlags.h"
#include "skin/ClockText.h"
#include "skin/SkinButton.h"

namespace {

// mingw's liboleacc gives IID_IAccessible as a data import, whose address is its import thunk.
const IID AccessibleIid = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const int PlayPauseIndex = 1;
const int Self = -1;
const int NoSuchChild = -2;

HRESULT Text(BSTR* out, const char* text) {
  if (!out) return E_INVALIDARG;
  WCHAR wide[320] = {};
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 320);
  wide[319] = 0;
  *out = SysAllocString(wide);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Number(VARIANT* out, LONG value) {
  if (!out) return E_INVALIDARG;
  out->vt = VT_I4;
  out->lVal = value;
  return S_OK;
}

HRESULT Nothing(VARIANT* out) {
  if (out) out->vt = VT_EMPTY;
  return S_FALSE;
}

class TAccessibleClient final : public IAccessible {
public:
  explicit TAccessibleClient(HWND hwnd) : references(1), hwnd(hwnd) {}
  TAccessibleClient(const TAccessibleClient&) = delete;
  TAccessibleClient& operator=(const TAccessibleClient&) = delete;
  void Disconnect() { hwnd = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != AccessibleIid) return E_NOINTERFACE;
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references);
    if (left == 0) delete this;
    return ULONG(left);
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return count ? S_OK : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_INVALIDARG;
    *parent = nullptr;
    if (!hwnd) return RPC_E_DISCONNECTED;
    return AccessibleObjectFromWindow(hwnd, DWORD(OBJID_WINDOW), IID_IDispatch, reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_INVALIDARG;
    *count = 0;
    if (!hwnd) return RPC_E_DISCONNECTED;
    for (int i = 0; i < ButtonCount; ++i)
      if (Buttons[i]) ++*count;
    return S_OK;
  }
  // The buttons are simple elements of the client, with no object of their own.
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    return Check(child) == NoSuchChild ? E_INVALIDARG : (hwnd ? S_FALSE : RPC_E_DISCONNECTED);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    const int target = Check(child);
    if (target < Self) return Failure();
    if (target >= 0) return Text(name, ButtonName(target, PlayingFlag.load() != 0));
    char caption[260] = {};
    GetWindowTextA(hwnd, caption, sizeof caption);
    return Text(name, caption);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    const int target = Check(child);
    if (target < Self) return Failure();
    if (target == Self) return SongText(value);
    if (value) *value = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override { return NoText(child, text); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    const int target = Check(child);
    if (target < Self) return Failure();
    return Number(role, target >= 0 ? ROLE_SYSTEM_PUSHBUTTON : ROLE_SYSTEM_CLIENT);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const int target = Check(child);
    if (target < Self) return Failure();
    const bool hasFocus = GetFocus() == hwnd;
    LONG bits = STATE_SYSTEM_FOCUSABLE;
    if (hasFocus && FocusedButton() == target) bits |= STATE_SYSTEM_FOCUSED;
    if (target >= 0 && (Buttons[target]->state & ButtonHover)) bits |= STATE_SYSTEM_HOTTRACKED;
    return Number(state, bits);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override { return NoText(child, text); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    if (topic) *topic = -1;
    return NoText(child, file);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* key) override {
    const int target = Check(child);
    if (target < 0) return NoText(child, key);
    return Text(key, ButtonTable[target].keyName);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focused) override {
    if (!hwnd) return RPC_E_DISCONNECTED;
    if (GetFocus() != hwnd) return Nothing(focused);
    const int button = FocusedButton();
    return Number(focused, button >= 0 ? ChildIdOfButton(button) : CHILDID_SELF);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selected) override {
    return hwnd ? Nothing(selected) : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    const int target = Check(child);
    if (target < 0) return NoText(child, action);
    return Text(action, "Press");
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    const int target = Check(child);
    if (target < Self) return Failure();
    if (!(flags & SELFLAG_TAKEFOCUS)) return DISP_E_MEMBERNOTFOUND;
    SetFocus(hwnd);
    if (target >= 0) FocusButton(hwnd, target);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
    const int target = Check(child);
    if (target < Self) return Failure();
    if (!left || !top || !width || !height) return E_INVALIDARG;
    RECT area = {};
    if (target >= 0)
      area = Buttons[target]->Area();
    else
      GetClientRect(hwnd, &area);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&area), 2);
    *left = area.left;
    *top = area.top;
    *width = area.right - area.left;
    *height = area.bottom - area.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    const int target = Check(start);
    if (target < Self) return Failure();
    LONG count = 0;
    get_accChildCount(&count);
    LONG id = target >= 0 ? ChildIdOfButton(target) : 0;
    if (direction == NAVDIR_FIRSTCHILD && target == Self) id = 1;
    else if (direction == NAVDIR_LASTCHILD && target == Self) id = count;
    else if ((direction == NAVDIR_NEXT || direction == NAVDIR_RIGHT) && target >= 0) ++id;
    else if ((direction == NAVDIR_PREVIOUS || direction == NAVDIR_LEFT) && target >= 0) --id;
    else return Nothing(end);
    return id >= 1 && id <= count ? Number(end, id) : Nothing(end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* found) override {
    if (!hwnd) return RPC_E_DISCONNECTED;
    POINT point = {x, y};
    ScreenToClient(hwnd, &point);
    RECT client;
    GetClientRect(hwnd, &client);
    if (!PtInRect(&client, point)) return Nothing(found);
    for (int i = 0; i < ButtonCount; ++i) {
      if (!Buttons[i]) continue;
      const RECT area = Buttons[i]->Area();
      if (PtInRect(&area, point)) return Number(found, ChildIdOfButton(i));
    }
    return Number(found, CHILDID_SELF);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    const int target = Check(child);
    if (target < Self) return Failure();
    if (target == Self) return DISP_E_MEMBERNOTFOUND;
    PressButton(hwnd, target);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
  ~TAccessibleClient() = default;

  // Self, a button's index, or NoSuchChild (also for every call once the window is gone).
  int Check(const VARIANT& child) const {
    if (!hwnd || child.vt != VT_I4) return NoSuchChild;
    if (child.lVal == CHILDID_SELF) return Self;
    const int button = ButtonOfChildId(child.lVal);
    return button >= 0 ? button : NoSuchChild;
  }
  HRESULT Failure() const { return hwnd ? E_INVALIDARG : RPC_E_DISCONNECTED; }
  HRESULT NoText(const VARIANT& child, BSTR* text) const {
    if (text) *text = nullptr;
    return Check(child) < Self ? Failure() : S_FALSE;
  }

  static HRESULT SongText(BSTR* value) {
    char text[340];
    const char* song = PlayList ? PlayList->CurrentSong() : nullptr;
    const char* state = PlayingFlag.load() ? "playing" : PausedFlag.load() ? "paused" : "stopped";
    if (!song) return Text(value, state);
    const int length = wsprintfA(text, "Song %d: %s, %s", int(PlayList->currentIndex) + 1, song, state);
    char* end = AddHeardTime(text + length);
    end += wsprintfA(end, ", volume %d%%", int(ListenerVolume));
    if (ListenerWidth != 100) wsprintfA(end, ", width %d%%", int(ListenerWidth));
    return Text(value, text);
  }

  // The time as the clock shows it, read when asked: ", 0:12 of 0:33".
  static char* AddHeardTime(char* end) {
    const THeardSound heard = GetHeardSound(nullptr, 0);
    if (!heard.clockShown) return end;
    char at[ClockTextSize], of[ClockTextSize];
    FormatClock(heard.songFrame / 44100, at);
    const int32_t frames = CurrentSongFrames();
    if (frames < 0) return end + wsprintfA(end, ", %s", at);
    FormatClock(uint32_t((int64_t(frames) + 22050) / 44100), of);
    return end + wsprintfA(end, ", %s of %s", at, of);
  }

  LONG references;
  HWND hwnd;
};

// Held by the window for as long as it lives; clients hold their own references.
TAccessibleClient* client = nullptr;

}  // namespace

LRESULT OnGetObject(HWND hwnd, WPARAM flags, LPARAM objectId) {
  if (LONG(DWORD(objectId)) != OBJID_CLIENT) return DefWindowProcA(hwnd, WM_GETOBJECT, flags, objectId);
  if (!client) client = new TAccessibleClient(hwnd);
  return LresultFromObject(AccessibleIid, flags, client);
}

void DisconnectAccessible() {
  if (!client) return;
  client->Disconnect();
  client->Release();
  client = nullptr;
}

TPlayState CurrentPlayState() {
  return {PlayingFlag.load() != 0, PausedFlag.load() != 0, PlayList ? PlayList->currentIndex : 0};
}

void AnnounceChanges(HWND hwnd, const TPlayState& before) {
  const TPlayState now = CurrentPlayState();
  if (now.playing != before.playing)
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd, OBJID_CLIENT, ChildIdOfButton(PlayPauseIndex));
  if (now.playing != before.playing || now.paused != before.paused || now.song != before.song)
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF);
}
