#include "SkinStage.h"
#include "player/LoadPlayList.h"
#include "player/PlayList.h"
#include "skin/LoadSkin.h"
#include "skin/SkinButton.h"
#include "skin/WindowShape.h"
#include "tests/support/BoxWatcher.h"

#include <gtest/gtest.h>

namespace {

const uint32_t Grey = 0xFF808080;
const TCommand SlotCommands[ButtonCount] = {cmdRewind, cmdPlayPause, cmdStop,
                                            cmdForward, cmdEject, cmdInfo};

std::vector<TVfsInput> Entries() {
  std::vector<TVfsInput> entries = {SolidPicture("pic.png", 120, 40, Grey)};
  for (int n = 0; n < 6; ++n)
    entries.push_back(SolidPicture("s" + std::to_string(n) + ".png", 8, 8, 0xFF000000 | n * 40));
  return entries;
}

std::string Pictures(int count) {
  std::string keys;
  for (int n = 0; n < count; ++n) keys += "pic" + std::to_string(n) + "=s" + std::to_string(n) + ".png\n";
  return keys;
}

std::vector<std::string> NamesOf(const TSkinButton* button) {
  std::vector<std::string> names;
  for (const TButtonImage& image : button->images) names.push_back(image.name.get());
  return names;
}

class LoadSkinTest : public testing::Test {
protected:
  void SetUp() override { NoInfoText = new char[NoInfoTextSize](); }
  void TearDown() override {
    delete[] NoInfoText;
    NoInfoText = nullptr;
  }

  // Every slot holds its command's button, made for the back buffer and the main window.
  void ExpectSixButtons() {
    for (int slot = 0; slot < ButtonCount; ++slot) {
      ASSERT_NE(Buttons[slot], nullptr);
      EXPECT_EQ(Buttons[slot]->command, SlotCommands[slot]);
      EXPECT_EQ(Buttons[slot]->target, BackBuffer);
      EXPECT_EQ(Buttons[slot]->owner, MainWindow->GetHandle());
      EXPECT_EQ(Buttons[slot]->state, 0);
      EXPECT_EQ(Buttons[slot]->lastDrawnState, 255);
    }
    EXPECT_EQ(DrawingOsVersion, int8_t(OsVersion.dwMajorVersion));
  }

  TTempFolder folder{true};
  TSkinStage stage{Entries()};
  TBoxWatcher boxes;
};

TEST_F(LoadSkinTest, SongsAndButtonsComeFromTheirSectionsWhateverTheOrder) {
  folder.Write("skin.ini",
               "[ButtonInfo]\nY=33\n" + Pictures(2) + "pic2=\npic3=s3.png\n"
               "[Extra]\nX=99\npic0=s5.png\n"
               "[ButtonEject]\nX=70\nY=5\n" + Pictures(2) + "pic3=s3.png\n"
               "[ButtonForward]\nX=60\nY=6\n" + Pictures(4) +
               "[ButtonStop]\nX=50\npic0=s0.png\npic1=gone.png\npic2=s2.png\npic3=s3.png\n"
               "[Music]\nsong0=skin1.xm\nsong1=skin2.xm\nsong3=skin4.xm\n"
               "[ButtonPlayPause]\nX=30\nY=4\n" + Pictures(6) +
               "[ButtonRewind]\nX=10\nY=2\n" + Pictures(4));
  folder.Write("PlayList.ini", "[song0]\nfile=a.xm\npic1=a1\npic0=a0\nTitlePic=at\n");
  LoadSkin(Buttons);
  LoadPlayList(stage.Handle());
  ExpectSixButtons();

  const struct {
    int32_t x, y;
    std::vector<std::string> names;
  } expected[ButtonCount] = {
      {10, 2, {"s0.png", "s1.png", "s2.png", "s3.png"}},
      {30, 4, {"s0.png", "s1.png", "s2.png", "s3.png", "s4.png", "s5.png"}},
      {50, 0, {"s0.png", "s2.png", "s3.png"}},  // the missing one is skipped, not the rest
      {60, 6, {"s0.png", "s1.png", "s2.png", "s3.png"}},
      {70, 5, {"s0.png", "s1.png"}},  // a gap ends the list
      {0, 33, {"s0.png", "s1.png"}},  // so does an empty value
  };
  for (int slot = 0; slot < ButtonCount; ++slot) {
    SCOPED_TRACE(slot);
    EXPECT_EQ(std::make_pair(Buttons[slot]->x, Buttons[slot]->y), std::make_pair(expected[slot].x, expected[slot].y));
    EXPECT_EQ(NamesOf(Buttons[slot]), expected[slot].names);
    ASSERT_NE(Buttons[slot]->drawProc, nullptr);
    Buttons[slot]->drawProc(Buttons[slot]);
  }
  EXPECT_EQ(boxes.WaitFor(1), std::vector<std::string>{"Shit|Cannot find file gone.png"});

  // The skin's songs come first and have no pictures.
  ASSERT_EQ(PlayList->SongCount(), 3);
  EXPECT_STREQ(PlayList->CurrentSong(), "skin1.xm");
  EXPECT_STREQ(PlayList->StepForward(), "skin2.xm");
  EXPECT_STREQ(PlayList->StepForward(), "a.xm");
  EXPECT_EQ(PlayList->GetPicture(0), nullptr);
}

// No skin.ini, or one whose path does not fit: six buttons at (0, 0) without pictures that draw
// nothing and react to nothing. A folder 250 characters long still leaves room for the name.
TEST_F(LoadSkinTest, WithoutAReadableSkinIniSixEmptyButtonsStandAtTheOrigin) {
  const std::string ini = "[Music]\nsong0=skin1.xm\n[ButtonRewind]\nX=7\npic0=s0.png\n";
  for (size_t depth : {size_t(0), size_t(250), size_t(251)}) {
    SCOPED_TRACE(depth);
    if (depth > 0) {
      folder.EnterDeepFolder(depth);
      // The file, and what a path cut to fit would name instead.
      folder.Write("skin.ini", ini);
      char current[MAX_PATH] = {};
      ASSERT_EQ(GetCurrentDirectoryA(MAX_PATH, current), depth);
      folder.Write(std::string("skin.ini").substr(0, MAX_PATH - 2 - depth), ini);
    }
    delete PlayList;
    PlayList = new TPlayList;
    LoadSkin(Buttons);
    ExpectSixButtons();
    const bool read = depth == 250;
    EXPECT_EQ(PlayList->SongCount(), read ? 1 : 0);
    for (int slot = 0; slot < ButtonCount; ++slot) {
      EXPECT_EQ(std::make_pair(Buttons[slot]->x, Buttons[slot]->y), std::make_pair(read && slot == 0 ? 7 : 0, 0));
      EXPECT_EQ(Buttons[slot]->images.size(), read && slot == 0 ? 1u : 0u);
    }
    if (!read) {
      for (TSkinButton* button : Buttons) EXPECT_TRUE(button->Redraw());
      for (int32_t at : {0, 3}) {
        ButtonsMouseMove(at, at);
        ButtonsMouseButton(true);
        ButtonsMouseButton(false);
      }
      EXPECT_TRUE(stage.TakePosted().empty());
      EXPECT_TRUE(stage.Filled(0, 0, 120, 40, Grey));
    }
    stage.DeleteButtons();
  }
  EXPECT_TRUE(boxes.Seen().empty());
}

}  // namespace
