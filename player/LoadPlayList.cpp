#include "player/LoadPlayList.h"

#include <windows.h>

#include "common/IniFile.h"
#include "format/DiskFormat.h"
#include "player/PlayList.h"

char* NoInfoText = nullptr;
int32_t InfoX = 0;
int32_t InfoY = 0;
int32_t TitleX = 0;
int32_t TitleY = 0;

namespace {

static_assert(NoInfoTextSize == MAX_PATH, "the NoInfo text is read like any other value");

// Values that cannot be played as written leave the song as rendered.
void ReadLevel(const TIniFile& ini, const char* section, char* value) {
  TSongLevel level;
  if (ini.String(section, GainKey.name, "", value)) ParseLevel(value, GainKey, level.gainDb);
  if (ini.String(section, SeparationKey.name, "", value)) ParseLevel(value, SeparationKey, level.separation);
  PlayList->SetLevel(PlayList->SongCount() - 1, level);
}

// Stops at the first empty value; what was added before it stays.
void ReadSongs(const TIniFile& ini, char* value) {
  for (int32_t i = 0; i < INT32_MAX; ++i) {
    char section[NumberedNameSize];
    NumberedName(section, sizeof section, SongSectionPrefix, i);
    for (const TSongKey& key : SongKeys) {
      if (!ini.String(section, key.name, key.noInfoFallback ? NoInfoText : "", value)) return;
      if (key.row < 0)
        PlayList->AddSong(value);
      else
        PlayList->AddPicture(key.row, value);
    }
    ReadLevel(ini, section, value);
  }
}

}  // namespace

void LoadPlayList(HWND window) {
  char value[MAX_PATH];
  const TIniFile ini(PlayListFileName);

  InfoX = ini.Int(MusicSection, InfoXKey);
  InfoY = ini.Int(MusicSection, InfoYKey);
  TitleX = ini.Int(MusicSection, TitleXKey);
  TitleY = ini.Int(MusicSection, TitleYKey);

  ini.String(MusicSection, NoInfoKey, "", NoInfoText);
  if (ini.String(MusicSection, TitleKey, "", value) && window) SetWindowTextA(window, value);

  ReadSongs(ini, value);
}
