#include "SkinStage.h"
#include "player/LoadPlayList.h"
#include "player/PlayList.h"
#include "skin/SongPictures.h"
#include "tests/support/BoxWatcher.h"

#include <gtest/gtest.h>

namespace {

const uint32_t Grey = 0xFF808080;
const uint32_t A0 = 0xFFC02010, A1 = 0xFF10C020, ATitle = 0xFF2010C0;
const uint32_t B0 = 0xFFF0F000, B1 = 0xFF00F0F0, BTitle = 0xFFF000F0;
const uint32_t Small = 0xFF40A0F0, Large = 0xFFA0F040;
const int32_t Info = 10, Side = 16, TitleLeft = 40;

class SongPicturesTest : public testing::Test {
protected:
  void SetUp() override {
    InfoX = InfoY = Info;
    TitleX = TitleLeft;
    TitleY = Info;
    // Songs a and b with both info rows and a title; c, as a skin.ini song, with none.
    for (const char* song : {"a.xm", "b.xm", "c.xm"}) PlayList->AddSong(song);
    for (const char* prefix : {"a", "b"})
      for (int8_t row = 0; row < 3; ++row) PlayList->AddPicture(row, (prefix + std::string(1, "01t"[row]) + ".png").c_str());
    hwnd = stage.Handle();
  }
  void TearDown() override { InfoX = InfoY = TitleX = TitleY = 0; }

  int Presents() const { return stage.window->presents; }
  bool InfoShows(uint32_t argb) const { return stage.Filled(Info, Info, Side, Side, argb); }

  // Ticks a fade from `from` to `to` to its end, checking each step's blend.
  void FadeToEnd(uint32_t from, uint32_t to, int32_t startLevel = 0) {
    for (int32_t level = startLevel + 15; level <= 255; level = std::min(level + 15, 255)) {
      SCOPED_TRACE(level);
      const int before = Presents();
      FadeTick(hwnd);
      EXPECT_EQ(Presents(), before + 1);
      EXPECT_TRUE(WithinOne(stage.At(Info, Info), Blend(from, to, uint32_t(level))));
      EXPECT_TRUE(WithinOne(stage.At(Info + Side - 1, Info + Side - 1), Blend(from, to, uint32_t(level))));
      if (level == 255) break;
      EXPECT_EQ(FadeLevel, level);
    }
    EXPECT_EQ(FadeLevel, 0);
    EXPECT_TRUE(InfoShows(to));
    EXPECT_FALSE(stage.TimerTicks());
  }

  TSkinStage stage{{SolidPicture("pic.png", 120, 60, Grey), SolidPicture("a0.png", Side, Side, A0),
                    SolidPicture("a1.png", Side, Side, A1), SolidPicture("at.png", Side, 8, ATitle),
                    SolidPicture("b0.png", Side, Side, B0), SolidPicture("b1.png", Side, Side, B1),
                    SolidPicture("bt.png", Side, 8, BTitle), SolidPicture("small.png", 8, 8, Small),
                    SolidPicture("large.png", 24, 20, Large)}};
  TBoxWatcher boxes;
  HWND hwnd = nullptr;
};

TEST_F(SongPicturesTest, FirstSongDrawsAtOnceAndTheNextFadesInOverSeventeenTicks) {
  ShowSongPictures(hwnd);
  EXPECT_EQ(Presents(), 2);
  EXPECT_FALSE(stage.TimerTicks());
  EXPECT_TRUE(InfoShows(A0));
  EXPECT_TRUE(stage.Filled(TitleLeft, Info, Side, 8, ATitle));
  EXPECT_EQ(PreviousInfoPicture, nullptr);
  TSkinImage* first = CurrentInfoPicture;
  ASSERT_NE(first, nullptr);

  PlayList->StepForward();
  ShowSongPictures(hwnd);
  EXPECT_EQ(Presents(), 3);  // the title alone, at once
  EXPECT_TRUE(stage.Filled(TitleLeft, Info, Side, 8, BTitle));
  EXPECT_TRUE(InfoShows(A0));
  EXPECT_EQ(PreviousInfoPicture, first);
  EXPECT_NE(CurrentInfoPicture, nullptr);
  EXPECT_NE(CurrentInfoPicture, first);
  EXPECT_TRUE(stage.TimerTicks());
  FadeToEnd(A0, B0);
  EXPECT_EQ(Presents(), 3 + 17);
  EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(SongPicturesTest, ToggleInfoGoesOnFromTheLevelReachedAndNeedsAPictureInTheOtherRow) {
  ShowSongPictures(hwnd);
  ToggleInfo();
  EXPECT_EQ(InfoRow, 1);
  EXPECT_TRUE(stage.TimerTicks());
  for (int tick = 0; tick < 5; ++tick) FadeTick(hwnd);
  EXPECT_EQ(FadeLevel, 75);
  TSkinImage* rowOne = CurrentInfoPicture;

  // Back to row 0 mid-fade: from the untouched row-1 picture, at the level already reached.
  ToggleInfo();
  EXPECT_EQ(InfoRow, 0);
  EXPECT_EQ(PreviousInfoPicture, rowOne);
  EXPECT_EQ(FadeLevel, 75);
  FadeToEnd(A1, A0, 75);

  // Song c has no pictures: neither the toggle nor its start changes anything or says anything.
  PlayList->currentIndex = 2;
  TSkinImage* current = CurrentInfoPicture;
  TSkinImage* previous = PreviousInfoPicture;
  const int presents = Presents();
  ToggleInfo();
  EXPECT_EQ(InfoRow, 0);
  ShowSongPictures(hwnd);
  EXPECT_EQ(CurrentInfoPicture, current);
  EXPECT_EQ(PreviousInfoPicture, previous);
  EXPECT_EQ(Presents(), presents);
  EXPECT_FALSE(stage.TimerTicks());
  EXPECT_TRUE(InfoShows(A0));
  Sleep(200);
  EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(SongPicturesTest, AResumeFadesOverACopyTheRowHoldsAndMissingPicturesAreReported) {
  ShowSongPictures(hwnd);
  TSkinImage* first = CurrentInfoPicture;
  ShowSongPictures(hwnd);  // a resume: the same song again
  EXPECT_EQ(PreviousInfoPicture, first);
  EXPECT_NE(CurrentInfoPicture, first);
  EXPECT_EQ(Presents(), 3);
  EXPECT_TRUE(stage.TimerTicks());
  FadeToEnd(A0, A0);

  ToggleInfo();
  FadeToEnd(A0, A1);
  PlayList->StepForward();
  ShowSongPictures(hwnd);
  EXPECT_EQ(InfoRow, 1);
  FadeToEnd(A1, B1);

  const int presents = Presents();
  TSkinImage* shown = CurrentInfoPicture;
  ShowInfoPicture(hwnd, "gone.png");
  EXPECT_EQ(PreviousInfoPicture, shown);
  EXPECT_EQ(CurrentInfoPicture, nullptr);
  EXPECT_FALSE(stage.TimerTicks());
  FadeTick(hwnd);  // nothing to fade to
  DrawPicture(TitleLeft, Info, "gone.png");
  const std::string longName(150, 'L');
  DrawPicture(0, 0, longName.c_str());
  EXPECT_EQ(Presents(), presents);
  EXPECT_TRUE(InfoShows(B1));
  const std::string cut = ("Cannot find file " + longName).substr(0, 99);
  EXPECT_EQ(boxes.WaitFor(3), (std::vector<std::string>{"Shit!|Cannot find file gone.png",
                                                       "Shit!|Cannot find file gone.png", "Shit!|" + cut}));
  EXPECT_EQ(boxes.Icons(), std::vector<std::string>(3, "error"));

  // With nothing left to fade from, the next start draws at once.
  PlayList->StepBack();
  ShowSongPictures(hwnd);
  EXPECT_EQ(PreviousInfoPicture, nullptr);
  EXPECT_EQ(Presents(), presents + 2);
  EXPECT_TRUE(InfoShows(A1));
  EXPECT_FALSE(stage.TimerTicks());
}

// Pictures of other sizes: each fade ends with the new picture whole and the background back
// wherever an earlier, larger one stood, a third picture cut short mid-fade included.
TEST_F(SongPicturesTest, PicturesOfOtherSizesShowWholeAndLeaveNoEdges) {
  ShowSongPictures(hwnd);
  const auto fadeTo = [&](const char* name, int ticks) {  // ticks < 0: to the fade's end
    ShowInfoPicture(hwnd, name);
    for (int tick = 0; tick != ticks && (ticks > 0 || tick == 0 || FadeLevel != 0); ++tick) FadeTick(hwnd);
  };
  fadeTo("large.png", 8);
  EXPECT_TRUE(WithinOne(stage.At(Info + 20, Info + 18), Blend(Grey, Large, 120)));
  FadeTick(hwnd);
  fadeTo("a0.png", 4);  // cut short: the large picture's edges are half there
  fadeTo("small.png", -1);
  EXPECT_FALSE(stage.TimerTicks());
  EXPECT_TRUE(stage.Filled(Info, Info, 8, 8, Small));
  EXPECT_TRUE(stage.Filled(Info + 8, Info, 16, 20, Grey));
  EXPECT_TRUE(stage.Filled(Info, Info + 8, 24, 12, Grey));

  fadeTo("large.png", -1);
  EXPECT_TRUE(stage.Filled(Info, Info, 24, 20, Large));
  // Drawn at once, with nothing to fade from, a smaller picture clears the larger one too.
  ShowInfoPicture(hwnd, "gone.png");
  fadeTo("small.png", 0);
  EXPECT_TRUE(stage.Filled(Info, Info, 8, 8, Small));
  EXPECT_TRUE(stage.Filled(Info + 8, Info, 16, 20, Grey));
  EXPECT_EQ(boxes.WaitFor(1), std::vector<std::string>{"Shit!|Cannot find file gone.png"});
}

TEST_F(SongPicturesTest, ThousandSongStartsAndTogglesKeepGdiObjectsAndMemory) {
  auto cycle = [&](int i) {
    if (i % 2) {
      PlayList->StepForward();
      ShowSongPictures(hwnd);
    } else {
      ToggleInfo();
    }
    for (int tick = 0; tick < 17; ++tick) FadeTick(hwnd);
  };
  ShowSongPictures(hwnd);
  cycle(0);
  cycle(1);
  const unsigned before = GdiObjectCount();
  const size_t heapBefore = ProcessHeapBytes();
  for (int i = 0; i < 1000; ++i) cycle(i);
  EXPECT_EQ(GdiObjectCount(), before);
  // Pictures live in GDI+'s heap, the process heap: a lost one shows as growth here.
  EXPECT_LT(int64_t(ProcessHeapBytes()) - int64_t(heapBefore), 16 * 1024);
  EXPECT_NE(PreviousInfoPicture, CurrentInfoPicture);
  EXPECT_TRUE(boxes.Seen().empty());
}

}  // namespace
