// skin.ini: the extra songs and the six buttons, their pictures and where they stand.
#include <algorithm>

#include "tools/vfspack/DiskChecker.h"

void TChecker::CheckSkin() {
  std::vector<uint8_t> bytes;
  const TFileRead read = folder.ReadFile(SkinFileName, bytes);
  if (read != TFileRead::Ok) {
    Error(SkinFileName, "", Unreadable(read) + ": the six buttons have no pictures and cannot be seen or clicked");
    return;
  }
  const TProfileIni ini(bytes);
  CheckEncoding(bytes, ini, SkinFileName);
  ReportRepeats(ini, SkinFileName);
  for (const auto& song : ReadNumbered(ini, SkinFileName, MusicSection, SongKeyPrefix))
    skinSongs.push_back({SkinFileName, Place(MusicSection, song.first), song.second});
  for (const TButtonSection& button : ButtonSections) CheckButton(ini, button);
}

void TChecker::CheckButton(const TProfileIni& ini, const TButtonSection& button) {
  const std::string section = button.section;
  if (!ini.FindSection(section)) {
    Error(SkinFileName, Place(section), "missing: the button has no pictures and cannot be seen or clicked");
    return;
  }
  std::vector<TShown> states;  // by key, in the order the button gets them: a missing one takes no place
  const auto keys = ReadNumbered(ini, SkinFileName, section, PictureKeyPrefix);
  for (const auto& key : keys) {
    const TPicture* pic = LookUpPicture(
        SkinFileName, Place(section, key.first), key.second,
        std::string(CannotFindBox) + " at start, and the pictures after it move down one state", OtherCopies);
    if (pic) states.push_back({key.first, key.second, pic});
  }
  if (keys.empty()) {
    const std::string first = PictureKeyPrefix + std::string("0");
    Error(SkinFileName, Place(section, first),
          Absence(ini, section, first) + ": the button has no pictures and cannot be seen or clicked");
    return;
  }
  if (!archive.open) return;
  if (states.size() < size_t(button.states))
    Warn(SkinFileName, Place(section),
         "the button gets " + Count(states.size(), "state picture") + " but has " + std::to_string(button.states) +
             " states (pic0 to pic" + std::to_string(button.states - 1) + "): the others have no picture");

  const TShown* first = nullptr;
  int width = 0;
  int height = 0;
  for (const TShown& s : states) {
    if (!s.picture->ok) continue;
    width = std::max(width, s.picture->width);
    height = std::max(height, s.picture->height);
    if (!first)
      first = &s;
    else if (const std::string differs = OtherSize(s, *first); !differs.empty())
      Warn(SkinFileName, Place(section, s.place), differs + ": the button's outline changes with its state");
  }
  if (first && background)
    CheckPlacement(section, ini.Int(section, ButtonPlaceKeys.x), ini.Int(section, ButtonPlaceKeys.y), width, height);
}

// The window is pic.png cut to its pixels that are not fully transparent: a button drawn
// anywhere else can be neither seen nor clicked there.
void TChecker::CheckPlacement(const std::string& section, int32_t x, int32_t y, int width, int height) {
  const TPicture& bg = *background;
  const int64_t left = x;
  const int64_t top = y;
  const int64_t right = left + width;
  const int64_t bottom = top + height;
  const std::string button =
      "the button at (" + std::to_string(x) + ", " + std::to_string(y) + "), " + Size(width, height) + ",";
  if (left < 0 || top < 0 || right > bg.width || bottom > bg.height)
    Warn(SkinFileName, Place(section, "X/Y"),
         button + " reaches outside pic.png (" + Size(bg.width, bg.height) +
             "): that part can be neither seen nor clicked");
  uint64_t holes = 0;
  int64_t firstX = 0;
  int64_t firstY = 0;
  for (int64_t py = std::max<int64_t>(top, 0); py < std::min<int64_t>(bottom, bg.height); ++py)
    for (int64_t px = std::max<int64_t>(left, 0); px < std::min<int64_t>(right, bg.width); ++px)
      if (bg.alpha[size_t(py) * size_t(bg.width) + size_t(px)] == 0 && holes++ == 0) {
        firstX = px;
        firstY = py;
      }
  if (holes)
    Warn(SkinFileName, Place(section, "X/Y"),
         button + " lies over " + Count(holes, "fully transparent pixel") + " of pic.png, the first at (" +
             std::to_string(firstX) + ", " + std::to_string(firstY) + "): the window is cut away there");
}
