#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "player/PlayList.h"

namespace {

void AddSongs(TPlayList& list, int count) {
  for (int i = 0; i < count; ++i) list.AddSong(("song" + std::to_string(i) + ".xm").c_str());
}

}  // namespace

// Each step (+1 forward, -1 back) gives the song it lands on, wrapping both ways, and leaves the
// index there; an empty list gives no name and no picture.
TEST(PlayListStepping, StepsWrapBothWaysAndAnEmptyListGivesNoName) {
  struct TStep {
    int direction;
    const char* song;
    int32_t index;
  };
  const std::vector<std::pair<int, std::vector<TStep>>> lists = {
      {3, {{+1, "song1.xm", 1}, {+1, "song2.xm", 2}, {+1, "song0.xm", 0}, {-1, "song2.xm", 2},
           {-1, "song1.xm", 1}}},
      {1, {{+1, "song0.xm", 0}, {-1, "song0.xm", 0}}},
      {0, {{+1, nullptr, 0}, {-1, nullptr, 0}}},
  };
  for (const auto& [count, steps] : lists) {
    SCOPED_TRACE(count);
    TPlayList list;
    AddSongs(list, count);
    EXPECT_STREQ(list.CurrentSong(), count ? "song0.xm" : nullptr);
    for (const TStep& step : steps) {
      EXPECT_STREQ(step.direction > 0 ? list.StepForward() : list.StepBack(), step.song);
      EXPECT_EQ(list.currentIndex, step.index);
    }
    EXPECT_STREQ(list.CurrentSong(), steps.back().song);
  }
  for (int8_t row = 0; row < PictureRowCount; ++row) EXPECT_EQ(TPlayList().GetPicture(row), nullptr);
}

TEST(PlayListStepping, NegativeIndexStepsForwardToFirstAndBackToLast) {
  TPlayList list;
  AddSongs(list, 3);
  list.AddPicture(0, "info0.png");
  list.SetLevel(-5, {-6.0f, 0.0f});
  list.SetLevel(0, {-6.0f, 0.0f});
  list.currentIndex = -5;
  EXPECT_EQ(list.CurrentSong(), nullptr);
  EXPECT_EQ(list.CurrentLevel().separation, 100.0f);
  EXPECT_EQ(list.GetPicture(0), nullptr);
  EXPECT_STREQ(list.StepForward(), "song0.xm");
  EXPECT_EQ(list.currentIndex, 0);
  EXPECT_STREQ(list.GetPicture(0), "info0.png");
  EXPECT_EQ(list.CurrentLevel().gainDb, -6.0f);

  list.currentIndex = INT32_MIN;
  EXPECT_STREQ(list.StepBack(), "song2.xm");
  EXPECT_EQ(list.currentIndex, 2);

  list.currentIndex = 7;
  EXPECT_EQ(list.CurrentSong(), nullptr);
  EXPECT_STREQ(list.StepForward(), "song0.xm");
}

TEST(PlayListData, KeepsItsOwnCopies) {
  TPlayList list;
  char name[] = "first.mod";
  EXPECT_EQ(list.AddSong(name), 0);
  EXPECT_EQ(list.AddPicture(2, name), 0);
  name[0] = 'X';
  EXPECT_EQ(list.AddSong(name), 1);
  EXPECT_STREQ(list.CurrentSong(), "first.mod");
  EXPECT_STREQ(list.GetPicture(2), "first.mod");
  EXPECT_STREQ(list.StepForward(), "Xirst.mod");
}

TEST(PlayListData, PictureRowsNeverReadPastTheirEnd) {
  TPlayList list;
  AddSongs(list, 3);
  for (const char* name : {"a0", "b0", "a1", "a2"}) list.AddPicture(int8_t(name[1] - '0'), name);
  EXPECT_EQ(list.AddPicture(3, "bad"), -1);
  EXPECT_EQ(list.AddPicture(-1, "bad"), -1);
  EXPECT_EQ((std::vector<int32_t>{list.PictureCount(0), list.PictureCount(1), list.PictureCount(2)}),
            (std::vector<int32_t>{2, 1, 1}));
  // Rows -1 to 3 of the current song, "-" where there is none.
  const auto rows = [&list] {
    std::string names;
    for (int8_t row = -1; row <= 3; ++row) names += std::string(" ") + (list.GetPicture(row) ? list.GetPicture(row) : "-");
    return names;
  };
  EXPECT_EQ(rows(), " - a0 a1 a2 -");
  list.StepForward();
  EXPECT_EQ(rows(), " - b0 - - -");
  list.StepForward();
  EXPECT_EQ(rows(), " - - - - -");
}
