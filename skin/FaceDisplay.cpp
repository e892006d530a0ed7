#include "skin/FaceDisplay.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "common/IniFile.h"
#include "format/DiskFormat.h"
#include "skin/ClockText.h"
#include "skin/GdiHolders.h"
#include "skin/MeterLevels.h"
#include "skin/SkinImage.h"
#include "skin/WindowShape.h"
#include "vfs/VfsFile.h"

namespace {

const uint32_t SampleRate = 44100;
const int ClockMaxCharacters = 9;  // "hh:mm:ss" and one to spare

// A copy of one rectangle of the back buffer, and where it goes back.
struct TKeptArea {
  RECT area = {};
  std::unique_ptr<TArgbSurface> pixels;

  bool Keep(const RECT& wanted) {
    BITMAP skin = {};
    if (!SkinBitmap || !GetObjectA(SkinBitmap, sizeof skin, &skin)) return false;
    const RECT window = {0, 0, skin.bmWidth, skin.bmHeight};
    if (!IntersectRect(&area, &wanted, &window)) return false;
    pixels.reset(new TArgbSurface(BackBuffer, area.right - area.left, area.bottom - area.top));
    BitBlt(pixels->Dc(), 0, 0, area.right - area.left, area.bottom - area.top, BackBuffer, area.left, area.top,
           SRCCOPY);
    return true;
  }
  // Puts back the part of `part` that was kept.
  void Restore(const RECT& part) const {
    RECT overlap;
    if (!IntersectRect(&overlap, &part, &area)) return;
    BitBlt(BackBuffer, overlap.left, overlap.top, overlap.right - overlap.left, overlap.bottom - overlap.top,
           pixels->Dc(), overlap.left - area.left, overlap.top - area.top, SRCCOPY);
  }
};

// Over what lies beneath, with the picture's own alpha: a see-through part shows the face, never
// black, and never a hole in the window.
void BlendOver(int x, int y, int width, int height, HDC from, int fromX, int fromY) {
  const BLENDFUNCTION over = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(BackBuffer, x, y, width, height, from, fromX, fromY, width, height, over);
}

bool KeyPresent(const TIniFile& ini, const char* section, const char* key) {
  char value[MAX_PATH];
  return ini.String(section, key, "", value);
}

// The named picture over transparent black on a surface at least width x height (its own size
// where either is 0); null, and no message, when it is missing or does not decode.
std::unique_ptr<TArgbSurface> LoadPicture(const char* name, int& width, int& height) {
  if (!Archive || !Archive->SelectEntry(name)) return nullptr;
  TSkinImage* picture = TSkinImage::Create(Archive);
  if (!picture) return nullptr;
  std::unique_ptr<TArgbSurface> surface;
  const int w = int(picture->GetWidth()), h = int(picture->GetHeight());
  {
    const TGdiObject bitmap(picture->CreateGdiBitmap());
    if (bitmap.Get() && w > 0 && h > 0) {
      if (width == 0) width = w;
      if (height == 0) height = h;
      surface.reset(new TArgbSurface(BackBuffer, width, height));
      const TMemoryDc memory(BackBuffer);
      const TSelection selection(memory.Get(), bitmap.Get());
      BitBlt(surface->Dc(), 0, 0, std::min(w, width), std::min(h, height), memory.Get(), 0, 0, SRCCOPY);
    }
  }
  picture->Destroy(true);
  return surface;
}

class TFaceMeter {
public:
  TFaceMeter(RECT area, int32_t bars, int32_t gap)
      : area(area), gap(gap), analyser(uint32_t(bars), SampleRate), bars(uint32_t(bars)), drawn(size_t(bars), 0) {}

  bool Load(const char* pictureName) {
    int w = area.right - area.left, h = area.bottom - area.top;
    lit = LoadPicture(pictureName, w, h);
    return lit && beneath.Keep(area);
  }

  void Draw(const TFaceInput& input, RECT& dirty) {
    if (input.stopped) {
      bars.Darken();
    } else if (input.audible && input.pcm) {
      analyser.Measure(input.pcm, levels);
      bars.Update(levels, input.elapsedSeconds);
    } else {
      bars.Fall(input.elapsedSeconds);
    }
    const int height = area.bottom - area.top;
    bool changed = false;
    for (size_t b = 0; b < drawn.size(); ++b) {
      const int litHeight = int(bars.Lit()[b] * height + 0.5);
      changed = changed || litHeight != drawn[b];
      drawn[b] = litHeight;
    }
    if (!changed) return;
    beneath.Restore(area);
    const int32_t barWidth = MeterBarWidth(area.right - area.left, int32_t(drawn.size()), gap);
    for (size_t b = 0; b < drawn.size(); ++b) {
      const int x = int(b) * (barWidth + gap);
      if (drawn[b] > 0)
        BlendOver(area.left + x, area.bottom - drawn[b], barWidth, drawn[b], lit->Dc(), x, height - drawn[b]);
    }
    UnionRect(&dirty, &dirty, &beneath.area);
  }

  bool IsDark() const { return bars.IsDark(); }
  const RECT& Area() const { return beneath.area; }

private:
  RECT area;
  int32_t gap;
  TBandAnalyser analyser;
  TMeterBars bars;
  std::vector<double> levels;
  std::vector<int> drawn;  // the lit height of each bar on the face, in pixels
  std::unique_ptr<TArgbSurface> lit;
  TKeptArea beneath;
};

class TFaceClock {
public:
  TFaceClock(int32_t x, int32_t y) : x(x), y(y) {}

  bool Load(const char* pictureName) {
    int w = 0, h = 0;
    strip = LoadPicture(pictureName, w, h);
    glyphWidth = w / ClockGlyphCount;
    glyphHeight = h;
    return strip && glyphWidth > 0 &&
           beneath.Keep({x, y, x + glyphWidth * ClockMaxCharacters, y + glyphHeight});
  }

  void Draw(const TFaceInput& input, RECT& dirty) {
    char text[ClockTextSize] = "";
    if (input.clockShown) FormatClock(input.seconds, text);
    if (std::strcmp(text, shown) == 0) return;
    const int length = int(std::max(std::strlen(text), std::strlen(shown)));
    std::memcpy(shown, text, sizeof shown);
    const RECT changed = {x, y, x + glyphWidth * std::min(length, ClockMaxCharacters), y + glyphHeight};
    beneath.Restore(changed);
    for (int i = 0; i < ClockMaxCharacters && text[i]; ++i) {
      const int glyph = ClockGlyph(text[i]);
      BlendOver(x + i * glyphWidth, y, glyphWidth, glyphHeight, strip->Dc(), glyph * glyphWidth, 0);
    }
    RECT onFace;
    if (IntersectRect(&onFace, &changed, &beneath.area)) UnionRect(&dirty, &dirty, &onFace);
  }

  const RECT& Area() const { return beneath.area; }

private:
  int32_t x, y;
  int glyphWidth = 0, glyphHeight = 0;
  char shown[ClockTextSize] = "";
  std::unique_ptr<TArgbSurface> strip;
  TKeptArea beneath;
};

// Lit from the left in proportion to its value, or from the bottom when taller than wide.
class TFaceBar {
public:
  explicit TFaceBar(RECT area) : area(area) {}

  bool Load(const char* pictureName) {
    int w = Width(), h = Height();
    lit = LoadPicture(pictureName, w, h);
    return lit && beneath.Keep(area);
  }

  void Draw(double fraction, RECT& dirty) {
    const int length = int(std::min(std::max(fraction, 0.0), 1.0) * Extent() + 0.5);
    if (length == drawn) return;
    drawn = length;
    beneath.Restore(area);
    if (length > 0 && Upright())
      BlendOver(area.left, area.bottom - length, Width(), length, lit->Dc(), 0, Height() - length);
    else if (length > 0)
      BlendOver(area.left, area.top, length, Height(), lit->Dc(), 0, 0);
    UnionRect(&dirty, &dirty, &beneath.area);
  }

  double FractionAt(int32_t x, int32_t y) const {
    const double along = Upright() ? area.bottom - y : x - area.left;
    return std::min(std::max(along / Extent(), 0.0), 1.0);
  }

  const RECT& Area() const { return beneath.area; }

private:
  int Width() const { return area.right - area.left; }
  int Height() const { return area.bottom - area.top; }
  bool Upright() const { return Height() > Width(); }
  int Extent() const { return Upright() ? Height() : Width(); }

  RECT area;
  int drawn = -1;  // the lit length on the face, in pixels; none yet
  std::unique_ptr<TArgbSurface> lit;
  TKeptArea beneath;
};

std::unique_ptr<TFaceMeter> Meter;
std::unique_ptr<TFaceClock> Clock;
std::unique_ptr<TFaceBar> Bars[2];  // the seek bar, the volume bar
TFacePart HeldBar = FacePartCount;
double HeldFraction = 0;

std::unique_ptr<TFaceBar>& BarOf(TFacePart part) { return Bars[part == FaceVolumeBar ? 1 : 0]; }

void LoadMeter(const TIniFile& ini) {
  const char* keys[] = {FacePlaceKeys.x, FacePlaceKeys.y, FaceWidthKey, FaceHeightKey, MeterBarsKey, FacePictureKey};
  for (const char* key : keys)
    if (!KeyPresent(ini, MeterSection, key)) return;
  const int32_t x = ini.Int(MeterSection, FacePlaceKeys.x), y = ini.Int(MeterSection, FacePlaceKeys.y);
  const int32_t width = ini.Int(MeterSection, FaceWidthKey), height = ini.Int(MeterSection, FaceHeightKey);
  const int32_t bars = ini.Int(MeterSection, MeterBarsKey), gap = ini.Int(MeterSection, MeterGapKey);
  // Bars beyond one a pixel could not be told apart, nor drawn.
  if (width <= 0 || height <= 0 || bars <= 0 || bars > width || gap < 0 || MeterBarWidth(width, bars, gap) < 1)
    return;
  char picture[MAX_PATH];
  ini.String(MeterSection, FacePictureKey, "", picture);
  Meter.reset(new TFaceMeter({x, y, x + width, y + height}, bars, gap));
  if (!Meter->Load(picture)) Meter.reset();
}

void LoadClock(const TIniFile& ini) {
  const char* keys[] = {FacePlaceKeys.x, FacePlaceKeys.y, FacePictureKey};
  for (const char* key : keys)
    if (!KeyPresent(ini, ClockSection, key)) return;
  char picture[MAX_PATH];
  ini.String(ClockSection, FacePictureKey, "", picture);
  Clock.reset(new TFaceClock(ini.Int(ClockSection, FacePlaceKeys.x), ini.Int(ClockSection, FacePlaceKeys.y)));
  if (!Clock->Load(picture)) Clock.reset();
}

void LoadBar(const TIniFile& ini, const char* section, std::unique_ptr<TFaceBar>& bar) {
  const char* keys[] = {FacePlaceKeys.x, FacePlaceKeys.y, FaceWidthKey, FaceHeightKey, FacePictureKey};
  for (const char* key : keys)
    if (!KeyPresent(ini, section, key)) return;
  const int32_t x = ini.Int(section, FacePlaceKeys.x), y = ini.Int(section, FacePlaceKeys.y);
  const int32_t width = ini.Int(section, FaceWidthKey), height = ini.Int(section, FaceHeightKey);
  if (width <= 0 || height <= 0) return;
  char picture[MAX_PATH];
  ini.String(section, FacePictureKey, "", picture);
  bar.reset(new TFaceBar({x, y, x + width, y + height}));
  if (!bar->Load(picture)) bar.reset();
}

}  // namespace

void LoadFace(const TIniFile& ini) {
  LoadMeter(ini);
  LoadClock(ini);
  LoadBar(ini, SeekSection, BarOf(FaceSeekBar));
  LoadBar(ini, VolumeSection, BarOf(FaceVolumeBar));
}

bool HasFace() { return Meter || Clock || Bars[0] || Bars[1]; }

void FaceAreas(RECT (&areas)[FacePartCount]) {
  areas[FaceMeter] = Meter ? Meter->Area() : RECT{};
  areas[FaceClock] = Clock ? Clock->Area() : RECT{};
  for (TFacePart bar : {FaceSeekBar, FaceVolumeBar}) areas[bar] = BarOf(bar) ? BarOf(bar)->Area() : RECT{};
}

bool DrawFace(const TFaceInput& input, RECT (&dirty)[FacePartCount]) {
  for (RECT& part : dirty) SetRectEmpty(&part);
  if (Meter) Meter->Draw(input, dirty[FaceMeter]);
  if (Clock) Clock->Draw(input, dirty[FaceClock]);
  const double values[] = {input.heardFraction, input.volumeFraction};
  for (TFacePart bar : {FaceSeekBar, FaceVolumeBar})
    if (BarOf(bar)) BarOf(bar)->Draw(bar == HeldBar ? HeldFraction : values[bar - FaceSeekBar], dirty[bar]);
  return Meter && !Meter->IsDark();
}

TFacePart FaceBarAt(int32_t x, int32_t y) {
  for (TFacePart bar : {FaceSeekBar, FaceVolumeBar})
    if (BarOf(bar) && PtInRect(&BarOf(bar)->Area(), POINT{x, y})) return bar;
  return FacePartCount;
}

double FaceBarFraction(TFacePart bar, int32_t x, int32_t y) {
  return bar < FacePartCount && bar >= FaceSeekBar && BarOf(bar) ? BarOf(bar)->FractionAt(x, y) : 0;
}

void HoldFaceBar(TFacePart bar, double fraction) {
  HeldBar = bar;
  HeldFraction = fraction;
}

void ReleaseFaceBar() { HeldBar = FacePartCount; }

void FreeFace() {
  Meter.reset();
  Clock.reset();
  for (auto& bar : Bars) bar.reset();
  ReleaseFaceBar();
}
