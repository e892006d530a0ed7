#include "SkinStage.h"
#include "player/TransportFlags.h"
#include "skin/SkinButton.h"
#include "skin/WindowShape.h"
#include "tests/support/BoxWatcher.h"

#include <gtest/gtest.h>

namespace {

const uint32_t Grey = 0xFF808080;
// State n shows colour n.
const uint32_t Colour[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFFFF00FF, 0xFF00FFFF};
const uint32_t Big = 0xFF204060;
const int32_t W = 20, H = 10;

std::vector<TVfsInput> Entries() {
  std::vector<TVfsInput> entries = {SolidPicture("pic.png", 120, 40, Grey),
                                    SolidPicture("big.png", 30, 16, Big),
                                    {"junk.png", {'n', 'o', 'p', 'e'}}};
  for (int n = 0; n < 6; ++n)
    entries.push_back(SolidPicture("s" + std::to_string(n) + ".png", W, H, Colour[n]));
  return entries;
}

TSkinButton* MakeButton(int32_t x, int32_t y, TCommand command, std::vector<std::string> pictures) {
  TSkinButton* button = new TSkinButton(BackBuffer, x, y, MainWindow->GetHandle(), nullptr, command,
                                        int32_t(OsVersion.dwMajorVersion));
  for (const std::string& name : pictures) button->AddImage(name.c_str());
  return button;
}

std::vector<std::string> StatePictures(int count) {
  std::vector<std::string> names;
  for (int n = 0; n < count; ++n) names.push_back("s" + std::to_string(n) + ".png");
  return names;
}

enum TAction { Move, Press, Release };
using TPosted = std::vector<std::pair<UINT, WPARAM>>;

struct TStep {
  TAction action;
  int32_t x, y;
  uint8_t playing, paused;  // the transport's flags before the step
  uint8_t first, second;    // the states of the two buttons under test after it
  int presented;
  TPosted posted;
};

class SkinButtonTest : public testing::Test {
protected:
  void SetUp() override { PlayingFlag = PausedFlag = 0; }

  // Runs `steps` through the window procedure's entry points; each button must show its state's
  // colour, the window must be presented at most once per event.
  void Run(const std::vector<TStep>& steps, TSkinButton* first, TSkinButton* second) {
    for (size_t i = 0; i < steps.size(); ++i) {
      const TStep& s = steps[i];
      SCOPED_TRACE("step " + std::to_string(i + 1));
      PlayingFlag = s.playing;
      PausedFlag = s.paused;
      const int before = stage.window->presents;
      if (s.action == Move) ButtonsMouseMove(s.x, s.y);
      else ButtonsMouseButton(s.action == Press);
      EXPECT_EQ(first->state, s.first);
      EXPECT_EQ(second->state, s.second);
      EXPECT_TRUE(stage.Filled(first->x, first->y, W, H, Colour[s.first]));
      EXPECT_TRUE(stage.Filled(second->x, second->y, W, H, Colour[s.second]));
      EXPECT_EQ(stage.window->presents - before, s.presented);
      EXPECT_EQ(stage.TakePosted(), s.posted);
    }
  }

  TSkinStage stage{Entries()};
};

TEST_F(SkinButtonTest, OrdinaryAndEjectButtonsFollowThePointerAndPostOnThePress) {
  Buttons[0] = MakeButton(10, 10, cmdRewind, StatePictures(4));
  Buttons[4] = MakeButton(70, 10, cmdEject, StatePictures(4));
  EXPECT_EQ(DrawingOsVersion, int8_t(OsVersion.dwMajorVersion));
  for (TSkinButton* button : {Buttons[0], Buttons[4]}) {
    EXPECT_TRUE(button->Redraw());
    EXPECT_FALSE(button->Redraw());
  }
  const TPosted none;
  Run({
          {Move, 12, 12, 0, 0, 1, 0, 1, none},
          {Move, 15, 14, 0, 0, 1, 0, 0, none},
          {Move, 29, 19, 0, 0, 1, 0, 0, none},  // the last pixel inside
          {Move, 30, 19, 0, 0, 0, 0, 1, none},  // the right edge is outside
          {Move, 29, 19, 0, 0, 1, 0, 1, none},
          {Press, 0, 0, 0, 0, 3, 0, 1, {{WM_PLAYER_COMMAND, cmdRewind}}},
          {Move, 29, 20, 0, 0, 2, 0, 1, none},  // so is the bottom edge
          {Release, 0, 0, 0, 0, 0, 0, 1, none},
          // Pressed on the eject button, released off it: no close.
          {Move, 75, 15, 0, 0, 0, 1, 1, none},
          {Press, 0, 0, 0, 0, 0, 3, 1, {{WM_PLAYER_COMMAND, cmdEject}}},
          {Move, 100, 15, 0, 0, 0, 2, 1, none},
          {Release, 0, 0, 0, 0, 0, 0, 1, none},
          // Pressed elsewhere, released over it: the window closes, and no command goes out.
          {Move, 5, 5, 0, 0, 0, 0, 0, none},
          {Press, 0, 0, 0, 0, 0, 0, 0, none},
          {Move, 89, 19, 0, 0, 0, 1, 1, none},
          {Release, 0, 0, 0, 0, 0, 1, 0, {{WM_CLOSE, 0}}},
          // A captured pointer left of or above the window comes as large unsigned values.
          {Move, 65535, 65535, 0, 0, 0, 0, 1, none},
      },
      Buttons[0], Buttons[4]);

  // A button takes its pictures with it.
  const size_t heap = ProcessHeapBytes();
  for (int i = 0; i < 50; ++i) delete MakeButton(0, 0, cmdStop, StatePictures(6));
  EXPECT_LT(int64_t(ProcessHeapBytes()) - int64_t(heap), 16 * 1024);
}

TEST_F(SkinButtonTest, PlayPauseShowsTheTransportAndAPressOverNothingRefreshesIt) {
  Buttons[0] = MakeButton(10, 10, cmdRewind, StatePictures(4));
  Buttons[1] = MakeButton(40, 10, cmdPlayPause, StatePictures(6));
  Buttons[0]->Redraw();
  Buttons[1]->Redraw();
  const TPosted none;
  Run({
          {Move, 45, 15, 0, 0, 0, 1, 1, none},
          // The command is still on its way at the press: the picture stays.
          {Press, 0, 0, 0, 0, 0, 1, 0, {{WM_PLAYER_COMMAND, cmdPlayPause}}},
          {Release, 0, 0, 1, 0, 0, 3, 1, none},
          {Move, 5, 5, 1, 0, 0, 2, 1, none},
          {Press, 0, 0, 0, 1, 0, 4, 1, none},
          {Release, 0, 0, 0, 1, 0, 4, 0, none},
          {Move, 45, 15, 0, 1, 0, 5, 1, none},
          // Rewind left pressed with the pointer off it; a press over nothing clears that and
          // shows the transport as it is now, in one present.
          {Move, 12, 12, 0, 1, 1, 4, 1, none},
          {Press, 0, 0, 0, 1, 3, 4, 1, {{WM_PLAYER_COMMAND, cmdRewind}}},
          {Move, 5, 5, 0, 1, 2, 4, 1, none},
          {Press, 0, 0, 1, 0, 0, 2, 1, none},
          {Release, 0, 0, 1, 0, 0, 2, 0, none},
          {Press, 0, 0, 0, 0, 0, 0, 1, none},
      },
      Buttons[0], Buttons[1]);
}

TEST_F(SkinButtonTest, PicturesAreChosenAndHitTestedByState) {
  TBoxWatcher boxes;
  // Hover picture larger than the idle one: enters at the small size, leaves at the large one.
  Buttons[0] = MakeButton(10, 10, cmdStop, {"s0.png", "big.png"});
  Buttons[0]->Redraw();
  ButtonsMouseMove(35, 15);
  EXPECT_EQ(Buttons[0]->state, 0);
  ButtonsMouseMove(29, 19);
  EXPECT_EQ(Buttons[0]->state, 1);
  EXPECT_TRUE(stage.Filled(10, 10, 30, 16, Big));
  const int presents = stage.window->presents;
  ButtonsMouseMove(39, 25);
  EXPECT_EQ(Buttons[0]->state, 1);
  EXPECT_EQ(stage.window->presents, presents);
  ButtonsMouseMove(40, 15);
  EXPECT_EQ(Buttons[0]->state, 0);
  EXPECT_TRUE(stage.Filled(10, 10, W, H, Colour[0]));

  // A missing name is reported and skipped: the pictures after it move one position down.
  TSkinButton* missing = MakeButton(0, 30, cmdInfo, {});
  EXPECT_EQ(missing->AddImage("s0.png"), 0);
  EXPECT_EQ(missing->AddImage("gone.png"), 0);
  EXPECT_EQ(missing->AddImage("s1.png"), 1);
  ASSERT_EQ(missing->images.size(), 2u);
  for (uint8_t n = 0; n < 2; ++n) {
    EXPECT_EQ(missing->images[n].position, n);
    EXPECT_EQ(std::string(missing->images[n].name.get()), "s" + std::to_string(n) + ".png");
  }
  EXPECT_EQ(boxes.WaitFor(1), std::vector<std::string>{"Shit|Cannot find file gone.png"});
  EXPECT_EQ(boxes.Icons(), std::vector<std::string>{"error"});
  delete missing;

  // States without a usable picture show picture 0 and are hit-tested at its size.
  Buttons[2] = MakeButton(50, 10, cmdForward, {"s0.png", "junk.png"});
  // With no pictures at all a button draws nothing and is never hit.
  Buttons[3] = MakeButton(80, 10, cmdEject, {});
  EXPECT_TRUE(Buttons[2]->Redraw());
  EXPECT_TRUE(Buttons[3]->Redraw());
  EXPECT_TRUE(stage.Filled(80, 10, 40, 30, Grey));
  ButtonsMouseMove(69, 19);
  EXPECT_EQ(Buttons[2]->state, 1);
  ButtonsMouseButton(true);
  EXPECT_EQ(Buttons[2]->state, 3);
  EXPECT_EQ(stage.TakePosted(), (TPosted{{WM_PLAYER_COMMAND, cmdForward}}));
  ButtonsMouseMove(70, 19);
  EXPECT_EQ(Buttons[2]->state, 2);
  ButtonsMouseButton(false);
  EXPECT_TRUE(stage.Filled(50, 10, W, H, Colour[0]));
  for (int32_t x : {80, 85, 119}) {
    ButtonsMouseMove(x, 10);
    ButtonsMouseButton(true);
    ButtonsMouseButton(false);
    EXPECT_EQ(Buttons[3]->state, 0);
  }
  EXPECT_TRUE(stage.TakePosted().empty());
  EXPECT_TRUE(stage.Filled(80, 10, 40, 30, Grey));
  EXPECT_EQ(boxes.Seen().size(), 1u);
}

}  // namespace
