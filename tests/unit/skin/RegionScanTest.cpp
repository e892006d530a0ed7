#include "skin/RegionScan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

void PrintTo(const TTransparentRun& run, std::ostream* out) {
  *out << "{row " << run.row << ", columns " << run.firstColumn << ".." << run.endColumn << "}";
}

namespace {

// One character per pixel: '.' alpha 0, '1' alpha 1, 'x' alpha 128, '#' alpha 255. The colour
// bytes are the inverse of opacity, so a scan that read them instead of alpha would fail.
std::vector<uint8_t> Picture(const std::vector<std::string>& rows, int32_t stride) {
  std::vector<uint8_t> bytes(rows.size() * size_t(stride), 0);
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) {
      const char c = rows[y][x];
      const uint8_t alpha = c == '.' ? 0 : c == '1' ? 1 : c == 'x' ? 128 : 255;
      uint8_t* pixel = &bytes[y * stride + x * 4];
      pixel[0] = pixel[1] = pixel[2] = alpha == 0 ? 0xFF : 0x00;
      pixel[3] = alpha;
    }
  return bytes;
}

struct TScanCase {
  const char* name;
  std::vector<std::string> rows;
  std::vector<TTransparentRun> runs;
};

const TScanCase ScanCases[] = {
    {"FullyOpaque", {"####", "#x1#", "####"}, {}},
    {"RoundedCorners",
     {"..####..", ".######.", "########", ".######."},
     {{0, 0, 2}, {0, 6, 8}, {1, 0, 1}, {1, 7, 8}, {3, 0, 1}, {3, 7, 8}}},
    {"AlphaOneSplitsARun", {"##..1..##"}, {{0, 2, 4}, {0, 5, 7}}},
    {"RunsAtStartAndEndOfRow", {"...##x##.."}, {{0, 0, 3}, {0, 8, 10}}},
    {"FullyTransparentRowIsCutWhole", {"###", "...", "#.#"}, {{1, 0, 3}, {2, 1, 2}}},
    {"RowsAreNotMerged", {"##..", "..##"}, {{0, 2, 4}, {1, 0, 2}}},
    {"WidthOne", {".", "#", ".", "1", "."}, {{0, 0, 1}, {2, 0, 1}, {4, 0, 1}}},
    {"SinglePixels", {".#.#."}, {{0, 0, 1}, {0, 2, 3}, {0, 4, 5}}},
};

class RegionScan : public testing::TestWithParam<TScanCase> {};

// With rows padded or not: padding bytes are zero, alpha 0 if read.
TEST_P(RegionScan, FindsEveryTransparentRunAndIgnoresRowPadding) {
  const TScanCase& c = GetParam();
  const uint32_t width = uint32_t(c.rows[0].size());
  for (const int32_t stride : {int32_t(width * 4), int32_t(width * 4 + 12)}) {
    std::vector<uint8_t> bytes = Picture(c.rows, stride);
    EXPECT_EQ(ScanTransparentRuns(bytes.data(), width, uint32_t(c.rows.size()), stride), c.runs) << "stride " << stride;
  }
}

INSTANTIATE_TEST_SUITE_P(Pictures, RegionScan, testing::ValuesIn(ScanCases),
                         [](const testing::TestParamInfo<TScanCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(RegionScanEmpty, NoPixelsNoRuns) {
  uint8_t pixel[4] = {0, 0, 0, 0};
  EXPECT_TRUE(ScanTransparentRuns(pixel, 0, 1, 0).empty());
  EXPECT_TRUE(ScanTransparentRuns(pixel, 1, 0, 4).empty());
  EXPECT_TRUE(ScanTransparentRuns(nullptr, 4, 4, 16).empty());
}

// Random pictures: the runs must cover exactly the alpha-0 pixels, each run maximal in its row.
TEST(RegionScanRandom, RunsAreExactlyTheMaximalTransparentSpans) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    const uint32_t width = 1 + random() % 23;
    const uint32_t height = 1 + random() % 9;
    std::vector<std::string> rows(height, std::string(width, '#'));
    for (auto& row : rows)
      for (auto& c : row) c = ".1x#"[random() % 4];
    std::vector<uint8_t> bytes = Picture(rows, int32_t(width * 4));
    std::vector<std::string> cut(height, std::string(width, '#'));
    for (const TTransparentRun& run : ScanTransparentRuns(bytes.data(), width, height, width * 4)) {
      ASSERT_LT(run.firstColumn, run.endColumn);
      ASSERT_LE(uint32_t(run.endColumn), width);
      const std::string& row = rows[size_t(run.row)];
      if (run.firstColumn > 0) {
        EXPECT_NE(row[size_t(run.firstColumn) - 1], '.');
      }
      if (uint32_t(run.endColumn) < width) {
        EXPECT_NE(row[size_t(run.endColumn)], '.');
      }
      for (int32_t x = run.firstColumn; x < run.endColumn; ++x) {
        EXPECT_EQ(cut[size_t(run.row)][size_t(x)], '#') << "pixel cut twice";
        cut[size_t(run.row)][size_t(x)] = '.';
      }
    }
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x)
        EXPECT_EQ(cut[y][x] == '.', rows[y][x] == '.') << "pixel " << x << "," << y;
  }
}

}  // namespace
