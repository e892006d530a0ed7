#include "app/ListenerSettings.h"

#include "app/FaceTimer.h"

#include "common/BoundedText.h"
#include "common/Decimal.h"
#include "player/Transport.h"

namespace {

const char Section[] = "Listener";

// Empty without APPDATA, or where the file's name would not fit. The variable, unlike the shell's
// folder functions, costs start-up no DLL.
struct TKeptFile {
  TKeptFile() {
    char appData[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("APPDATA", appData, MAX_PATH);
    if (length == 0 || length + sizeof "\\musicdisk\\listener.ini" > MAX_PATH) return;
    TBoundedText(folder, MAX_PATH).Add(appData).Add("\\musicdisk");
    TBoundedText(file, MAX_PATH).Add(folder).Add("\\listener.ini");
  }
  char folder[MAX_PATH] = "";
  char file[MAX_PATH] = "";
};

// Both keys default to 100.
uint8_t KeptValue(const char* file, const char* key, uint32_t step) {
  char text[MAX_PATH];
  GetPrivateProfileStringA(Section, key, "", text, MAX_PATH, file);
  uint32_t value = 0;
  return ReadDecimal(text, 100, value) && value % step == 0 ? uint8_t(value) : 100;
}

void Keep(const char* file, const char* key, uint8_t value) {
  char text[4];
  TBoundedText(text, sizeof text).Decimal(value);
  WritePrivateProfileStringA(Section, key, text, file);
}

}  // namespace

void LoadListenerSettings() {
  const TKeptFile kept;
  if (kept.file[0]) {
    ListenerVolume = KeptValue(kept.file, "Volume", 1);
    ListenerWidth = KeptValue(kept.file, "Width", 50);
  }
  ApplyListenerVolume();
}

void SetListenerVolume(HWND window, int percent) {
  const uint8_t volume = uint8_t(percent < 0 ? 0 : percent > 100 ? 100 : percent);
  if (volume == ListenerVolume) return;
  ListenerVolume = volume;
  ApplyListenerVolume();
  ShowFaceNow(window);
  ListenerChanged(window);
}

void ListenerChanged(HWND window) {
  NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
  const TKeptFile kept;
  if (!kept.file[0]) return;
  // Made at the first change; a folder that cannot be written keeps nothing, and says nothing.
  CreateDirectoryA(kept.folder, nullptr);
  Keep(kept.file, "Volume", ListenerVolume);
  Keep(kept.file, "Width", ListenerWidth);
}
