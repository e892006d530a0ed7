#include "skin/LoadSkin.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "app/Commands.h"
#include "app/Globals.h"
#include "common/IniPath.h"
#include "player/PlayList.h"
#include "skin/SkinButton.h"
#include "skin/WindowShape.h"

namespace {

const int KeySize = 20;

const struct {
  const char* section;
  TCommand command;
} ButtonSections[ButtonCount] = {
    {"ButtonRewind", cmdRewind}, {"ButtonPlayPause", cmdPlayPause}, {"ButtonStop", cmdStop},
    {"ButtonForward", cmdForward}, {"ButtonEject", cmdEject},       {"ButtonInfo", cmdInfo},
};

void DrawNothing(TSkinButton*) {}

class TSkinIni {
public:
  TSkinIni() : path(CurrentDirectoryIniPath("skin.ini")) {}

  int32_t Int(const char* section, const char* key) const {
    return int32_t(GetPrivateProfileIntA(section, key, 0, path.c_str()));
  }

  // The value of "<prefix><n>", true when it is not empty.
  bool Numbered(const char* section, const char* prefix, int n, char (&value)[MAX_PATH]) const {
    char key[KeySize];
    std::snprintf(key, sizeof key, "%s%d", prefix, n);
    GetPrivateProfileStringA(section, key, "", value, MAX_PATH, path.c_str());
    return value[0] != '\0';
  }

private:
  std::string path;
};

}  // namespace

void LoadSkin(TSkinButton* buttons[6]) {
  const TSkinIni ini;
  char value[MAX_PATH];
  // Both lists end at the first missing or empty number.
  for (int n = 0; n < INT32_MAX && ini.Numbered("Music", "song", n, value); ++n)
    PlayList->AddSong(value);

  for (int slot = 0; slot < ButtonCount; ++slot) {
    const char* section = ButtonSections[slot].section;
    TSkinButton* button =
        new TSkinButton(BackBuffer, ini.Int(section, "X"), ini.Int(section, "Y"), MainWindow,
                        DrawNothing, ButtonSections[slot].command, int32_t(OsVersion.dwMajorVersion));
    buttons[slot] = button;
    for (int m = 0; m < INT32_MAX && ini.Numbered(section, "pic", m, value); ++m)
      button->AddImage(value);
  }
}
