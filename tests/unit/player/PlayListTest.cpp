#include <gtest/gtest.h>

#include <string>

#include "player/PlayList.h"

namespace {

void AddSongs(TPlayList& list, int count) {
  for (int i = 0; i < count; ++i) list.AddSong(("song" + std::to_string(i) + ".xm").c_str());
}

}  // namespace

TEST(PlayListStepping, ThreeSongsWrapBothWays) {
  TPlayList list;
  AddSongs(list, 3);
  EXPECT_STREQ(list.CurrentSong(), "song0.xm");
  EXPECT_STREQ(list.StepForward(), "song1.xm");
  EXPECT_STREQ(list.StepForward(), "song2.xm");
  EXPECT_EQ(list.currentIndex, 2);
  EXPECT_STREQ(list.StepForward(), "song0.xm");
  EXPECT_EQ(list.currentIndex, 0);
  EXPECT_STREQ(list.StepBack(), "song2.xm");
  EXPECT_EQ(list.currentIndex, 2);
  EXPECT_STREQ(list.StepBack(), "song1.xm");
  EXPECT_STREQ(list.CurrentSong(), "song1.xm");
  EXPECT_EQ(list.currentIndex, 1);
}

TEST(PlayListStepping, OneSongStaysOnIt) {
  TPlayList list;
  AddSongs(list, 1);
  EXPECT_STREQ(list.StepForward(), "song0.xm");
  EXPECT_EQ(list.currentIndex, 0);
  EXPECT_STREQ(list.StepBack(), "song0.xm");
  EXPECT_EQ(list.currentIndex, 0);
}

TEST(PlayListStepping, EmptyListGivesNoName) {
  TPlayList list;
  EXPECT_EQ(list.CurrentSong(), nullptr);
  EXPECT_EQ(list.StepForward(), nullptr);
  EXPECT_EQ(list.currentIndex, 0);
  EXPECT_EQ(list.StepBack(), nullptr);
  EXPECT_EQ(list.currentIndex, 0);
  for (int8_t row = 0; row < PictureRowCount; ++row) EXPECT_EQ(list.GetPicture(row), nullptr);
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
  list.AddPicture(0, "a0");
  list.AddPicture(0, "b0");
  list.AddPicture(1, "a1");
  list.AddPicture(2, "a2");
  EXPECT_EQ(list.AddPicture(3, "bad"), -1);
  EXPECT_EQ(list.AddPicture(-1, "bad"), -1);
  EXPECT_EQ(list.PictureCount(0), 2);
  EXPECT_EQ(list.PictureCount(1), 1);
  EXPECT_EQ(list.PictureCount(2), 1);

  EXPECT_STREQ(list.GetPicture(0), "a0");
  EXPECT_STREQ(list.GetPicture(1), "a1");
  EXPECT_STREQ(list.GetPicture(2), "a2");
  EXPECT_EQ(list.GetPicture(3), nullptr);
  EXPECT_EQ(list.GetPicture(-1), nullptr);
  list.StepForward();
  EXPECT_STREQ(list.GetPicture(0), "b0");
  EXPECT_EQ(list.GetPicture(1), nullptr);
  EXPECT_EQ(list.GetPicture(2), nullptr);
  list.StepForward();
  EXPECT_EQ(list.GetPicture(0), nullptr);
}
