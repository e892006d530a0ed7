#include "SkinStage.h"
#include "common/IniFile.h"
#include "skin/FaceDisplay.h"
#include "skin/MeterLevels.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

const uint32_t Grey = 0xFF808080, Red = 0xFFFF0000, White = 0xFFFFFFFF;
const int GlyphWidth = 4, GlyphHeight = 6;
const RECT MeterArea = {4, 4, 44, 20};

// Each glyph one opaque white column on a see-through background.
TVfsInput Digits() {
  return {"digits.png", EncodePng(MakePixels(GlyphWidth * 11, GlyphHeight, [](uint32_t x, uint32_t) {
            return x % GlyphWidth == 1 ? White : 0u;
          }))};
}

const char MeterSection[] = "[Meter]\nX=4\nY=4\nWidth=40\nHeight=16\nBars=4\nGap=0\npic=meter.png\n";
const char ClockSection[] = "[Clock]\nX=50\nY=20\npic=digits.png\n";
const char BarSections[] = "[Seek]\nX=4\nY=30\nWidth=40\nHeight=6\npic=bar.png\n"
                           "[Volume]\nX=100\nY=4\nWidth=8\nHeight=32\npic=bar.png\n";

class FaceDisplayTest : public testing::Test {
protected:
  ~FaceDisplayTest() override { FreeFace(); }

  void Load(const std::string& skin) {
    FreeFace();
    folder.Write("skin.ini", skin);
    LoadFace(TIniFile("skin.ini"));
  }
  std::array<RECT, FacePartCount> Areas() {
    RECT areas[FacePartCount];
    FaceAreas(areas);
    return {areas[0], areas[1]};
  }
  bool Draw(const TFaceInput& input) { return DrawFace(input, dirty); }

  TTempFolder folder{true};
  TSkinStage stage{{SolidPicture("pic.png", 120, 40, Grey), SolidPicture("meter.png", 40, 16, Red), Digits(),
                    SolidPicture("bar.png", 40, 32, Red)}};
  RECT dirty[FacePartCount] = {};
};

bool Same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

// A section missing a key, naming a picture that is not there or lying wholly outside the window
// shows nothing; the rest of the skin still does.
TEST_F(FaceDisplayTest, OnlyWholeSectionsWithinTheWindowAreTaken) {
  const RECT meter = MeterArea, clock = {50, 20, 50 + 9 * GlyphWidth, 26}, none = {};
  const struct {
    std::string skin;
    RECT meter, clock;
  } cases[] = {
      {std::string(MeterSection) + ClockSection, meter, clock},
      {"[Meter]\nX=4\nY=4\nWidth=40\nHeight=16\npic=meter.png\n" + std::string(ClockSection), none, clock},
      {std::string(MeterSection) + "[Clock]\nX=50\nY=20\npic=gone.png\n", meter, none},
      {"[Meter]\nX=400\nY=4\nWidth=40\nHeight=16\nBars=4\npic=meter.png\n", none, none},
      {"[Meter]\nX=4\nY=4\nWidth=40\nHeight=16\nBars=41\npic=meter.png\n", none, none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.skin);
    Load(c.skin);
    EXPECT_TRUE(Same(Areas()[0], c.meter));
    EXPECT_TRUE(Same(Areas()[1], c.clock));
    EXPECT_EQ(HasFace(), !IsRectEmpty(&c.meter) || !IsRectEmpty(&c.clock));
  }
}

// The meter lights the band that sounds from the bottom up, the clock's see-through background
// shows the face between its digits, a shorter text gives the face back, and stopping darkens
// both at once: the display timer's cue to stop.
TEST_F(FaceDisplayTest, TheMeterAndTheClockDrawOverTheFaceAndGoDarkWhenStopped) {
  Load(std::string(MeterSection) + ClockSection);
  std::vector<int16_t> tone(MeterWindowFrames * 2);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = int16_t(32000 * std::sin(2 * 3.14159265 * 300 * (i / 2) / 44100.0));
  TFaceInput input;
  input.stopped = false;
  input.clockShown = true;
  input.seconds = 3600;
  input.audible = true;
  input.pcm = tone.data();
  EXPECT_TRUE(Draw(input));
  EXPECT_TRUE(Same(dirty[0], MeterArea));
  EXPECT_EQ(stage.At(4 + 15, 19), Red);   // 300 Hz: the second of four bands, 40 to 179 Hz is the first
  EXPECT_EQ(stage.At(4 + 35, 4), Grey);  // the top of the highest band
  EXPECT_TRUE(Same(dirty[1], {50, 20, 50 + 7 * GlyphWidth, 26}));  // "1:00:00"
  for (int x = 50; x < 50 + 7 * GlyphWidth; ++x) EXPECT_EQ(stage.At(x, 22), (x - 50) % GlyphWidth == 1 ? White : Grey) << x;

  input.seconds = 0;
  input.audible = false;
  input.elapsedSeconds = 0.1;
  EXPECT_TRUE(Draw(input));  // falling, not yet dark
  EXPECT_TRUE(Same(dirty[1], {50, 20, 50 + 7 * GlyphWidth, 26}));  // "0:00" and what "1:00:00" left
  EXPECT_TRUE(stage.Filled(50 + 4 * GlyphWidth, 20, 3 * GlyphWidth, GlyphHeight, Grey));
  input.elapsedSeconds = MeterFallSeconds;
  EXPECT_FALSE(Draw(input));
  EXPECT_TRUE(stage.Filled(4, 4, 40, 16, Grey));

  input.audible = true;
  EXPECT_TRUE(Draw(input));
  input.stopped = true;
  input.clockShown = false;
  EXPECT_FALSE(Draw(input));
  EXPECT_TRUE(stage.Filled(0, 0, 120, 40, Grey));
  EXPECT_FALSE(Draw(input));
  EXPECT_TRUE(IsRectEmpty(&dirty[0]) && IsRectEmpty(&dirty[1]));  // nothing changed, nothing to present
}

// The seek bar lights from the left and the upright volume bar from the bottom, each in proportion;
// a held bar follows the pointer, past its ends too, whatever it is given meanwhile.
TEST_F(FaceDisplayTest, BarsLightInProportionAndFollowAHold) {
  Load(BarSections);
  TFaceInput input;
  input.heardFraction = 0.5;
  input.volumeFraction = 0.25;
  Draw(input);
  EXPECT_TRUE(stage.Filled(4, 30, 20, 6, Red) && stage.Filled(24, 30, 20, 6, Grey));
  EXPECT_TRUE(stage.Filled(100, 28, 8, 8, Red) && stage.Filled(100, 4, 8, 24, Grey));
  EXPECT_TRUE(Same(dirty[FaceVolumeBar], {100, 4, 108, 36}));
  EXPECT_EQ(FaceBarAt(10, 32), FaceSeekBar);
  EXPECT_EQ(FaceBarAt(104, 4), FaceVolumeBar);
  EXPECT_EQ(FaceBarAt(60, 32), FacePartCount);
  EXPECT_DOUBLE_EQ(FaceBarFraction(FaceSeekBar, 34, -5), 0.75);
  EXPECT_DOUBLE_EQ(FaceBarFraction(FaceVolumeBar, 104, -20), 1.0);
  HoldFaceBar(FaceSeekBar, FaceBarFraction(FaceSeekBar, -30, 32));
  Draw(input);
  EXPECT_TRUE(stage.Filled(4, 30, 40, 6, Grey));
  ReleaseFaceBar();
  Draw(input);
  EXPECT_TRUE(stage.Filled(4, 30, 20, 6, Red));
}

}  // namespace
