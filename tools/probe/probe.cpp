// probe.exe: what a person looking at the screen would read, for the end-to-end tests.
//   probe boxes                 list open message boxes:  box<TAB>caption<TAB>text<TAB>icon
//   probe ok                    press OK on every open message box
//   probe wait-box [ms]         wait for a message box (default 10000 ms), list it, press OK
//   probe window [class]        the main window:  window<TAB>left top right bottom<TAB>exstyle<TAB>iconic<TAB>caption
//   probe answers [class]       whether the thread of every main window answers within 2 s (a hung
//                               program does not, nor one held by a crash)
//   probe restore [class]       restores the minimised main window, as its taskbar button does
//   probe show-restore [class]  restores it as another program would, by ShowWindow(SW_RESTORE)
//   probe windows [class]       the visible top-level windows of the main window's process, but
//                               tooltips:  windows<TAB>count<TAB>class,class,...
//   probe cancel-mode [class]   what the system sends a window that loses the mouse (Alt+Tab):
//                               it gives up the capture
//   probe left-down [class]     a left press on the window whose release never comes
//   probe accessible [class]    the screen reader's view of the main window:
//                               client<TAB>name<TAB>value<TAB>role<TAB>children, then one line a child:
//                               child<TAB>name<TAB>role<TAB>left top width height<TAB>state<TAB>default action
//   probe press NAME [class]    the default action of the main window's child named NAME
//   probe tip                   the text of the tooltip on screen:  tip<TAB>text
//   probe file-version FILE     what Explorer's properties and Task Manager name a program by:
//                               version<TAB>FileDescription<TAB>ProductName<TAB>ProductVersion
// A box's icon is one of error, information, warning, none.
// Texts are printed with line feeds as the two characters \n, so that one box is one line.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int MessageTextId = 0xFFFF;  // the static control that holds a message box's text

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += "\\n";
    else if (c != '\r') out += c;
  }
  return out;
}

std::string WindowText(HWND hwnd) {
  char buffer[4096] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

std::vector<HWND> MessageBoxes() {
  std::vector<HWND> boxes;
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        char cls[64] = {};
        GetClassNameA(hwnd, cls, sizeof cls);
        if (std::string(cls) == "#32770" && IsWindowVisible(hwnd))
          reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&boxes));
  return boxes;
}

// Icon handles are not shared between processes under every system, so the icon is told by
// what a person sees: the colour that dominates it on screen (red error, yellow warning, blue
// information or question).
const char* IconOf(HWND box) {
  HWND icon = nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child && !icon; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = child;
  }
  RECT r;
  if (!icon || !IsWindowVisible(icon) || !GetWindowRect(icon, &r)) return "none";
  HDC screen = GetDC(nullptr);
  int red = 0, yellow = 0, blue = 0;
  for (LONG y = r.top; y < r.bottom; ++y) {
    for (LONG x = r.left; x < r.right; ++x) {
      const COLORREF c = GetPixel(screen, x, y);
      const int R = GetRValue(c), G = GetGValue(c), B = GetBValue(c);
      if (R > 150 && G < 110 && B < 110) ++red;
      else if (R > 170 && G > 140 && B < 90) ++yellow;
      else if (B > 150 && R < 120) ++blue;
    }
  }
  ReleaseDC(nullptr, screen);
  const int most = red > yellow ? (red > blue ? red : blue) : (yellow > blue ? yellow : blue);
  if (most < 20) return "none";
  if (most == red) return "error";
  if (most == yellow) return "warning";
  return "information";
}

void PrintBox(HWND box) {
  HWND text = GetDlgItem(box, MessageTextId);
  printf("box\t%s\t%s\t%s\n", Escape(WindowText(box)).c_str(),
         Escape(text ? WindowText(text) : "").c_str(), IconOf(box));
}

void PressOk(HWND box) {
  HWND ok = GetDlgItem(box, IDOK);
  if (ok) SendMessageA(ok, BM_CLICK, 0, 0);
  else PostMessageA(box, WM_COMMAND, IDOK, 0);
}

int ListBoxes() {
  for (HWND box : MessageBoxes()) PrintBox(box);
  return 0;
}

int PressAll() {
  for (HWND box : MessageBoxes()) PressOk(box);
  return 0;
}

int WaitBox(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    std::vector<HWND> boxes = MessageBoxes();
    if (!boxes.empty()) {
      Sleep(100);  // let the box finish laying out its text
      for (HWND box : boxes) {
        PrintBox(box);
        PressOk(box);
      }
      return 0;
    }
    if (GetTickCount() - start > timeoutMs) {
      fprintf(stderr, "probe: no message box within %lu ms\n", static_cast<unsigned long>(timeoutMs));
      return 1;
    }
    Sleep(50);
  }
}

int DescribeWindow(const char* cls) {
  HWND hwnd = FindWindowA(cls, nullptr);
  if (!hwnd) {
    fprintf(stderr, "probe: no window of class %s\n", cls);
    return 1;
  }
  RECT r;
  GetWindowRect(hwnd, &r);
  printf("window\t%ld %ld %ld %ld\t0x%08lx\t%d\t%s\n", r.left, r.top, r.right, r.bottom,
         static_cast<unsigned long>(GetWindowLongA(hwnd, GWL_EXSTYLE)), IsIconic(hwnd) ? 1 : 0,
         Escape(WindowText(hwnd)).c_str());
  return 0;
}

int Answers(const char* cls) {
  int windows = 0, answered = 0;
  for (HWND hwnd = nullptr; (hwnd = FindWindowExA(nullptr, hwnd, cls, nullptr)) != nullptr; ++windows) {
    DWORD_PTR result = 0;
    answered += SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
  }
  printf("answers\t%d of %d\n", answered, windows);
  return windows > 0 && answered == windows ? 0 : 1;
}

// Posted, or sent when the caller must know it was handled.
int ToMainWindow(const char* cls, UINT message, WPARAM wParam, bool send) {
  HWND hwnd = FindWindowA(cls, nullptr);
  if (!hwnd) return 1;
  if (send) SendMessageA(hwnd, message, wParam, 0);
  else PostMessageA(hwnd, message, wParam, 0);
  return 0;
}

int ListWindows(const char* cls) {
  HWND hwnd = FindWindowA(cls, nullptr);
  if (!hwnd) return 1;
  struct TFound {
    DWORD process;
    int count;
    std::string classes;
  } found = {0, 0, ""};
  GetWindowThreadProcessId(hwnd, &found.process);
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto& f = *reinterpret_cast<TFound*>(param);
        DWORD process = 0;
        char name[256] = "";
        GetWindowThreadProcessId(window, &process);
        GetClassNameA(window, name, sizeof name);
        if (process == f.process && IsWindowVisible(window) && strcmp(name, "tooltips_class32") != 0) {
          f.classes += (f.count++ ? "," : "") + std::string(name);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  printf("windows\t%d\t%s\n", found.count, found.classes.c_str());
  return 0;
}

std::string VersionString(const std::vector<char>& info, const char* name) {
  char* value = nullptr;
  UINT length = 0;
  const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
    return "";
  return std::string(value, length ? length - 1 : 0);
}

int FileVersion(const char* file) {
  DWORD unused = 0;
  std::vector<char> info(GetFileVersionInfoSizeA(file, &unused));
  if (info.empty() || !GetFileVersionInfoA(file, 0, DWORD(info.size()), info.data())) {
    fprintf(stderr, "probe: no version information in %s\n", file);
    return 1;
  }
  printf("version\t%s\t%s\t%s\n", VersionString(info, "FileDescription").c_str(),
         VersionString(info, "ProductName").c_str(), VersionString(info, "ProductVersion").c_str());
  return 0;
}

// mingw's liboleacc hands IID_IAccessible out as a data import: spelt out here.
const IID AccessibleIid = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

std::string Narrow(BSTR text) {
  char buffer[1024] = {};
  if (text) WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer - 1, nullptr, nullptr);
  SysFreeString(text);
  return buffer;
}

std::string RoleText(IAccessible* object, VARIANT child) {
  VARIANT role;
  VariantInit(&role);
  if (object->get_accRole(child, &role) != S_OK || role.vt != VT_I4) return "?";
  char text[128] = {};
  GetRoleTextA(DWORD(role.lVal), text, sizeof text);
  return text;
}

VARIANT Child(LONG id) {
  VARIANT child;
  VariantInit(&child);
  child.vt = VT_I4;
  child.lVal = id;
  return child;
}

// Calls `visit` with the client's object and its child count; 1 when there is none.
template <class TVisit>
int WithAccessible(const char* cls, TVisit visit) {
  HWND hwnd = FindWindowA(cls, nullptr);
  IAccessible* object = nullptr;
  CoInitialize(nullptr);
  if (!hwnd || FAILED(AccessibleObjectFromWindow(hwnd, DWORD(OBJID_CLIENT), AccessibleIid,
                                                reinterpret_cast<void**>(&object)))) {
    fprintf(stderr, "probe: no accessible client in a window of class %s\n", cls);
    return 1;
  }
  LONG count = 0;
  object->get_accChildCount(&count);
  const int rc = visit(object, count);
  object->Release();
  CoUninitialize();
  return rc;
}

int DescribeAccessible(const char* cls) {
  return WithAccessible(cls, [](IAccessible* object, LONG count) {
    BSTR name = nullptr, value = nullptr;
    object->get_accName(Child(CHILDID_SELF), &name);
    object->get_accValue(Child(CHILDID_SELF), &value);
    printf("client\t%s\t%s\t%s\t%ld\n", Narrow(name).c_str(), Narrow(value).c_str(),
           RoleText(object, Child(CHILDID_SELF)).c_str(), static_cast<long>(count));
    for (LONG id = 1; id <= count; ++id) {
      BSTR action = nullptr;
      name = nullptr;
      LONG left = 0, top = 0, width = 0, height = 0;
      VARIANT state;
      VariantInit(&state);
      object->get_accName(Child(id), &name);
      object->accLocation(&left, &top, &width, &height, Child(id));
      object->get_accState(Child(id), &state);
      object->get_accDefaultAction(Child(id), &action);
      printf("child\t%s\t%s\t%ld %ld %ld %ld\t0x%lx\t%s\n", Narrow(name).c_str(),
             RoleText(object, Child(id)).c_str(), static_cast<long>(left), static_cast<long>(top),
             static_cast<long>(width), static_cast<long>(height), static_cast<unsigned long>(state.lVal),
             Narrow(action).c_str());
    }
    return 0;
  });
}

int PressAccessible(const char* wanted, const char* cls) {
  return WithAccessible(cls, [wanted](IAccessible* object, LONG count) {
    for (LONG id = 1; id <= count; ++id) {
      BSTR name = nullptr;
      object->get_accName(Child(id), &name);
      if (Narrow(name) == wanted) return object->accDoDefaultAction(Child(id)) == S_OK ? 0 : 1;
    }
    fprintf(stderr, "probe: no child named %s\n", wanted);
    return 1;
  });
}

int ShowTip() {
  HWND tip = nullptr;
  while ((tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr)) != nullptr) {
    if (!IsWindowVisible(tip)) continue;
    // GetWindowText reads no text of another process's control: its WM_GETTEXT does.
    char text[1024] = {};
    SendMessageA(tip, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    printf("tip\t%s\n", Escape(text).c_str());
    return 0;
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  const char* cls = argc > 2 ? argv[2] : "TPlayerWndClass";
  int rc = 2;
  if (verb == "boxes") rc = ListBoxes();
  else if (verb == "ok") rc = PressAll();
  else if (verb == "wait-box") rc = WaitBox(argc > 2 ? strtoul(argv[2], nullptr, 10) : 10000);
  else if (verb == "window") rc = DescribeWindow(cls);
  else if (verb == "answers") rc = Answers(cls);
  else if (verb == "restore") rc = ToMainWindow(cls, WM_SYSCOMMAND, SC_RESTORE, false);
  else if (verb == "show-restore") rc = FindWindowA(cls, nullptr) ? (ShowWindow(FindWindowA(cls, nullptr), SW_RESTORE), 0) : 1;
  else if (verb == "windows") rc = ListWindows(cls);
  else if (verb == "cancel-mode") rc = ToMainWindow(cls, WM_CANCELMODE, 0, true);
  else if (verb == "left-down") rc = ToMainWindow(cls, WM_LBUTTONDOWN, MK_LBUTTON, false);
  else if (verb == "accessible") rc = DescribeAccessible(cls);
  else if (verb == "press" && argc > 2) rc = PressAccessible(argv[2], argc > 3 ? argv[3] : "TPlayerWndClass");
  else if (verb == "tip") rc = ShowTip();
  else if (verb == "file-version" && argc > 2) rc = FileVersion(argv[2]);
  else fprintf(stderr, "usage: probe boxes | ok | wait-box [ms] | window [class] | answers [class] | restore [class] | show-restore [class] | windows [class] | cancel-mode [class] | left-down [class] | accessible [class] | press NAME [class] | tip | file-version FILE\n");
  fflush(stdout);
  return rc;
}
