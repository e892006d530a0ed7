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
  CheckMeter(ini);
  CheckClock(ini);
  CheckLitArea(ini, SeekSection, "the seek bar", {}, "the bar lights from the wrong part of it");
  CheckLitArea(ini, VolumeSection, "the volume bar", {}, "the bar lights from the wrong part of it");
}

// The meter, the clock and the bars may be left out. One that cannot be shown shows nothing, with
// no box, so each fault is a warning.
const TPicture* TChecker::FacePicture(const TProfileIni& ini, const char* section,
                                      const std::vector<const char*>& keys, const std::string& shownNot) {
  if (!ini.FindSection(section)) return nullptr;
  for (const char* key : keys)
    if (!HasValue(ini, section, key)) {
      Warn(SkinFileName, Place(section, key), Absence(ini, section, key) + ": " + shownNot);
      return nullptr;
    }
  if (!archive.open) return nullptr;
  const std::string name = ini.String(section, FacePictureKey, "");
  const int32_t index = archive.Find(name);
  const TPicture* pic = index < 0 ? nullptr : &Picture(index);
  if (!pic)
    Warn(SkinFileName, Place(section, FacePictureKey), Quote(name) + " is not in data.vfs: " + shownNot);
  else if (!pic->fault.empty())
    Warn(SkinFileName, Place(section, FacePictureKey), Quote(name) + " " + pic->fault + ": " + shownNot);
  return pic && pic->fault.empty() ? pic : nullptr;
}

void TChecker::CheckFaceArea(const char* section, const std::string& what, int64_t x, int64_t y, int64_t w,
                             int64_t h, const std::string& shownNot) {
  if (!background || (x >= 0 && y >= 0 && x + w <= background->width && y + h <= background->height)) return;
  const bool none = x >= background->width || y >= background->height || x + w <= 0 || y + h <= 0;
  Warn(SkinFileName, Place(section, "X/Y"),
       what + " at (" + std::to_string(x) + ", " + std::to_string(y) + "), " + Size(w, h) + ", reaches outside pic.png (" +
           Size(background->width, background->height) + "): " + (none ? shownNot : "that part is not shown"));
}

// The meter and the two bars: a rectangle lit from a picture its size. `shown` checks what else
// the section needs to be shown, once its size is known to be positive.
void TChecker::CheckLitArea(const TProfileIni& ini, const char* section, const std::string& what,
                            std::vector<const char*> keys, const std::string& wrongPart,
                            const std::function<bool(const std::string& shownNot)>& shown) {
  const std::string shownNot = what + " is not shown";
  keys.insert(keys.begin(), {FacePlaceKeys.x, FacePlaceKeys.y, FaceWidthKey, FaceHeightKey});
  keys.push_back(FacePictureKey);
  const TPicture* pic = FacePicture(ini, section, keys, shownNot);
  const int32_t width = ini.Int(section, FaceWidthKey), height = ini.Int(section, FaceHeightKey);
  if (!pic) return;
  if (width <= 0 || height <= 0) {
    Warn(SkinFileName, Place(section, "Width/Height"), what + " is " + Size(width, height) + ": " + shownNot);
    return;
  }
  if (shown && !shown(shownNot)) return;
  if (pic->width != width || pic->height != height)
    Warn(SkinFileName, Place(section, FacePictureKey),
         Quote(ini.String(section, FacePictureKey, "")) + " is " + Size(pic->width, pic->height) + " but " + what +
             " is " + Size(width, height) + ": " + wrongPart);
  CheckFaceArea(section, what, ini.Int(section, FacePlaceKeys.x), ini.Int(section, FacePlaceKeys.y), width, height,
                shownNot);
}

void TChecker::CheckMeter(const TProfileIni& ini) {
  const int32_t width = ini.Int(MeterSection, FaceWidthKey);
  const int32_t bars = ini.Int(MeterSection, MeterBarsKey), gap = ini.Int(MeterSection, MeterGapKey);
  CheckLitArea(ini, MeterSection, "the meter", {MeterBarsKey}, "the bars light from the wrong part of it",
               [&](const std::string& shownNot) {
                 if (bars > 0 && gap >= 0 && MeterBarWidth(width, bars, gap) >= 1) return true;
                 Warn(SkinFileName, Place(MeterSection, bars <= 0 ? MeterBarsKey : "Bars/Gap"),
                      Count(uint64_t(std::max(bars, 0)), "bar") +
                          (bars <= 0 ? "" : " " + std::to_string(gap) + " pixels apart") +
                          (bars <= 0 ? ": " : " in " + std::to_string(width) + " pixels are narrower than a pixel: ") +
                          shownNot);
                 return false;
               });
}

void TChecker::CheckClock(const TProfileIni& ini) {
  const std::string shownNot = "the clock is not shown";
  const TPicture* pic = FacePicture(ini, ClockSection, {FacePlaceKeys.x, FacePlaceKeys.y, FacePictureKey}, shownNot);
  if (!pic) return;
  if (pic->width < ClockGlyphs) {
    Warn(SkinFileName, Place(ClockSection, FacePictureKey),
         Quote(ini.String(ClockSection, FacePictureKey, "")) + " is " + std::to_string(pic->width) +
             " wide, less than one pixel for each of the 11 glyphs (0 to 9 and ':'): " + shownNot);
    return;
  }
  if (pic->width % ClockGlyphs)
    Warn(SkinFileName, Place(ClockSection, FacePictureKey),
         Quote(ini.String(ClockSection, FacePictureKey, "")) + " is " + std::to_string(pic->width) +
             " wide, not a multiple of 11 (0 to 9 and ':'): each glyph is cut " +
             std::to_string(pic->width / ClockGlyphs) + " wide and the glyphs slip");
  // The shortest time it shows, "0:00".
  CheckFaceArea(ClockSection, "the clock", ini.Int(ClockSection, FacePlaceKeys.x), ini.Int(ClockSection, FacePlaceKeys.y),
                4 * (pic->width / ClockGlyphs), pic->height, shownNot);
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
