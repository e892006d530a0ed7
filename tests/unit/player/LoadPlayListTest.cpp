#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/PlayerWnd.h"
#include "orvel/include/OrvelPlayer.h"
#include "player/LoadPlayList.h"
#include "player/PlayList.h"
#include "tests/support/TempFolder.h"

namespace {

const char CompleteSong0[] = "[song0]\nfile=a.xm\npic1=a1.png\npic0=a0.png\nTitlePic=at.png\n";
const char CompleteSong2[] = "[song2]\nfile=c.xm\npic1=c1.png\npic0=c0.png\nTitlePic=ct.png\n";

// Each test runs in a fresh temporary folder made the current directory, with a fresh
// playlist object and NoInfo text, as start-up would have them.
class LoadPlayListTest : public ::testing::Test {
protected:
  void SetUp() override {
    PlayList = new TPlayList;
    NoInfoText = new char[NoInfoTextSize]();
    InfoX = InfoY = TitleX = TitleY = 99;
  }

  void TearDown() override {
    delete PlayList;
    PlayList = nullptr;
    delete[] NoInfoText;
    NoInfoText = nullptr;
  }

  void WriteIni(const std::string& text) { folder.Write(folder.path + "\\PlayList.ini", text); }

  // Songs, then rows 1, 0 and 2: the order in which a section's keys are read.
  void ExpectLengths(int songs, int pic1, int pic0, int titlePic) {
    EXPECT_EQ(PlayList->SongCount(), songs);
    EXPECT_EQ(PlayList->PictureCount(1), pic1);
    EXPECT_EQ(PlayList->PictureCount(0), pic0);
    EXPECT_EQ(PlayList->PictureCount(2), titlePic);
  }

  static std::pair<float, float> Level() { return {PlayList->CurrentLevel().gainDb, PlayList->CurrentLevel().separation}; }

  TTempFolder folder{true};
};

// A file that is gone again reads as the defaults.
TEST_F(LoadPlayListTest, ReadsPositionsAndNoInfoAndAMissingFileAsDefaults) {
  const std::string ini =
      folder.Write("PlayList.ini", "[Music]\nInfoX=12\nInfoY=-7\nTitleX=300\nTitleY=4\nNoInfo=none.png\n");
  for (const bool missing : {false, true}) {
    if (missing) std::filesystem::remove(ini);
    LoadPlayList(nullptr);
    const auto read = std::make_tuple(InfoX, InfoY, TitleX, TitleY, std::string(NoInfoText));
    EXPECT_EQ(read, missing ? std::make_tuple(0, 0, 0, 0, std::string())
                            : std::make_tuple(12, -7, 300, 4, std::string("none.png")));
    ExpectLengths(0, 0, 0, 0);
  }
}

// Section song1 stops the loop at one key; song2 is complete but must never be read.
TEST_F(LoadPlayListTest, StopPointsGiveTheListLengths) {
  struct TCase {
    const char* name;
    const char* noInfo;
    const char* song1;
    int songs, pic1, pic0, titlePic;
  };
  const TCase cases[] = {
      {"no section", "none.png", "", 1, 1, 1, 1},
      {"empty file", "none.png", "[song1]\nfile=\npic1=b1\npic0=b0\nTitlePic=bt\n", 1, 1, 1, 1},
      {"empty pic1", "none.png", "[song1]\nfile=b.xm\npic1=\npic0=b0\nTitlePic=bt\n", 2, 1, 1, 1},
      {"missing pic1", "", "[song1]\nfile=b.xm\npic0=b0\nTitlePic=bt\n", 2, 1, 1, 1},
      {"empty pic0", "none.png", "[song1]\nfile=b.xm\npic1=b1\npic0=\nTitlePic=bt\n", 2, 2, 1, 1},
      {"missing pic0", "", "[song1]\nfile=b.xm\npic1=b1\nTitlePic=bt\n", 2, 2, 1, 1},
      {"missing TitlePic", "none.png", "[song1]\nfile=b.xm\npic1=b1\npic0=b0\n", 2, 2, 2, 1},
      {"empty TitlePic", "none.png", "[song1]\nfile=b.xm\npic1=b1\npic0=b0\nTitlePic=\n", 2, 2, 2, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    delete PlayList;
    PlayList = new TPlayList;
    WriteIni(std::string("[Music]\nNoInfo=") + c.noInfo + "\n" + CompleteSong0 + c.song1 +
             CompleteSong2);
    LoadPlayList(nullptr);
    ExpectLengths(c.songs, c.pic1, c.pic0, c.titlePic);
    EXPECT_STREQ(PlayList->CurrentSong(), "a.xm");
    EXPECT_STREQ(PlayList->GetPicture(2), "at.png");
    if (c.songs == 2) {
      // The last song gives only the pictures its section got to.
      EXPECT_STREQ(PlayList->StepForward(), "b.xm");
      EXPECT_EQ(PlayList->GetPicture(1) != nullptr, c.pic1 == 2);
      EXPECT_EQ(PlayList->GetPicture(0) != nullptr, c.pic0 == 2);
      EXPECT_EQ(PlayList->GetPicture(2), nullptr);
    }
  }
}

TEST_F(LoadPlayListTest, NoInfoStandsInForMissingInfoPictures) {
  WriteIni(
      "[Music]\nNoInfo=none.png\n"
      "[song0]\nfile=a.xm\nTitlePic=at.png\nGain=-3.5\nSeparation=50\nResampler=A500\n"
      "[song1]\nfile=b.xm\npic0=b0.png\nTitlePic=bt.png\nGain=31\nSeparation=50%\nResampler=a5000\n");
  LoadPlayList(nullptr);
  ExpectLengths(2, 2, 2, 2);
  // The level keys beside them, and values that cannot be played as written, as rendered.
  EXPECT_EQ(Level(), std::make_pair(-3.5f, 50.0f));
  EXPECT_EQ(PlayList->CurrentResampler(), OrvelResamplerA500);
  EXPECT_STREQ(PlayList->GetPicture(0), "none.png");
  EXPECT_STREQ(PlayList->GetPicture(1), "none.png");
  PlayList->StepForward();
  EXPECT_EQ(Level(), std::make_pair(0.0f, 100.0f));
  EXPECT_EQ(PlayList->CurrentResampler(), OrvelResamplerDefault);
  EXPECT_STREQ(PlayList->GetPicture(0), "b0.png");
  EXPECT_STREQ(PlayList->GetPicture(1), "none.png");
  EXPECT_STREQ(PlayList->GetPicture(2), "bt.png");
}

TEST_F(LoadPlayListTest, GapInTheNumberingEndsTheList) {
  WriteIni(std::string(CompleteSong0) + CompleteSong2);
  LoadPlayList(nullptr);
  ExpectLengths(1, 1, 1, 1);
}

TEST_F(LoadPlayListTest, LongValuesAreCutTo259) {
  const std::string longName(300, 'n');
  const std::string longFile(400, 'f');
  WriteIni("[Music]\nNoInfo=" + longName + "\n[song0]\nfile=" + longFile + "\nTitlePic=t\n");
  LoadPlayList(nullptr);
  EXPECT_EQ(std::string(NoInfoText), longName.substr(0, 259));
  ExpectLengths(1, 1, 1, 1);
  EXPECT_EQ(std::string(PlayList->CurrentSong()), longFile.substr(0, 259));
  EXPECT_EQ(std::string(PlayList->GetPicture(0)), longName.substr(0, 259));
}

// 246 characters take "\\PlayList.ini" and the terminator within MAX_PATH; 247 do not.
TEST_F(LoadPlayListTest, CurrentDirectoryTooLongForThePathReadsAsMissingFile) {
  const std::string ini = "[Music]\nInfoX=5\nNoInfo=x\n" + std::string(CompleteSong0);
  for (size_t length : {size_t(246), size_t(247)}) {
    SCOPED_TRACE(length);
    const std::string deep = folder.EnterDeepFolder(length);
    ASSERT_EQ(deep.size(), length);
    char current[MAX_PATH] = {};
    ASSERT_EQ(GetCurrentDirectoryA(MAX_PATH, current), length);
    // The file itself, and what a path cut to fit would name instead.
    folder.Write(deep + "\\PlayList.ini", ini);
    folder.Write((deep + "\\PlayList.ini").substr(0, MAX_PATH - 1), ini);
    delete PlayList;
    PlayList = new TPlayList;
    std::snprintf(NoInfoText, NoInfoTextSize, "stale");
    InfoX = 99;

    LoadPlayList(nullptr);
    const bool fits = length == 246;
    EXPECT_EQ(InfoX, fits ? 5 : 0);
    EXPECT_STREQ(NoInfoText, fits ? "x" : "");
    ExpectLengths(fits, fits, fits, fits);
  }
}

TEST_F(LoadPlayListTest, SkinSongsComeFirstWithoutPictures) {
  PlayList->AddSong("skin1.xm");
  PlayList->AddSong("skin2.xm");
  WriteIni(std::string(CompleteSong0) +
           "[song1]\nfile=b.xm\npic1=b1.png\npic0=b0.png\nTitlePic=bt.png\n");
  LoadPlayList(nullptr);
  ExpectLengths(4, 2, 2, 2);
  EXPECT_STREQ(PlayList->CurrentSong(), "skin1.xm");
  // The picture rows are out of step with the songs by the two skin songs.
  EXPECT_STREQ(PlayList->GetPicture(0), "a0.png");
  EXPECT_STREQ(PlayList->GetPicture(1), "a1.png");
  EXPECT_STREQ(PlayList->GetPicture(2), "at.png");
  PlayList->StepForward();
  EXPECT_STREQ(PlayList->GetPicture(0), "b0.png");
  for (const char* song : {"a.xm", "b.xm"}) {
    EXPECT_STREQ(PlayList->StepForward(), song);
    for (int8_t row = 0; row < PictureRowCount; ++row) EXPECT_EQ(PlayList->GetPicture(row), nullptr);
  }
}

// The window starts as "Music disk"; only a non-empty Title replaces it.
TEST_F(LoadPlayListTest, TitleSetsTheCaptionWhenNotEmpty) {
  TPlayerWnd window(GetModuleHandleA(nullptr), nullptr, nullptr);
  ASSERT_NE(window.GetHandle(), nullptr);
  const struct {
    const char* ini;
    const char* caption;
  } cases[] = {
      {"[Music]\nInfoX=1\n", "Music disk"},
      {"[Music]\nTitle=\n", "Music disk"},
      {"[Music]\nTitle=Summer Tunes 2\n", "Summer Tunes 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini);
    WriteIni(c.ini);
    LoadPlayList(window.GetHandle());
    char caption[MAX_PATH] = {};
    GetWindowTextA(window.GetHandle(), caption, MAX_PATH);
    EXPECT_STREQ(caption, c.caption);
  }
}

}  // namespace
