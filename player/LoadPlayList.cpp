#include "player/LoadPlayList.h"

#include <windows.h>

#include "common/IniFile.h"
#include "player/PlayList.h"

char* NoInfoText = nullptr;
int32_t InfoX = 0;
int32_t InfoY = 0;
int32_t TitleX = 0;
int32_t TitleY = 0;

namespace {

const char MusicSection[] = "Music";
static_assert(NoInfoTextSize == MAX_PATH, "the NoInfo text is read like any other value");

// Stops at the first empty value; what was added before it stays.
void ReadSongs(const TIniFile& ini, char* value) {
  for (int32_t i = 0; i < INT32_MAX; ++i) {
    char section[16];
    TBoundedText(section, sizeof section).Add("song").Decimal(i);
    if (!ini.String(section, "file", "", value)) return;
    PlayList->AddSong(value);
    if (!ini.String(section, "pic1", NoInfoText, value)) return;
    PlayList->AddPicture(1, value);
    if (!ini.String(section, "pic0", NoInfoText, value)) return;
    PlayList->AddPicture(0, value);
    if (!ini.String(section, "TitlePic", "", value)) return;
    PlayList->AddPicture(2, value);
  }
}

}  // namespace

void LoadPlayList(HWND window) {
  char value[MAX_PATH];
  const TIniFile ini("PlayList.ini");

  InfoX = ini.Int(MusicSection, "InfoX");
  InfoY = ini.Int(MusicSection, "InfoY");
  TitleX = ini.Int(MusicSection, "TitleX");
  TitleY = ini.Int(MusicSection, "TitleY");

  ini.String(MusicSection, "NoInfo", "", NoInfoText);
  if (ini.String(MusicSection, "Title", "", value) && window) SetWindowTextA(window, value);

  ReadSongs(ini, value);
}
