#include "common/BoundedText.h"
#include "common/Decimal.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

TEST(BoundedText, ComposesNumbersAndCutsWhatDoesNotFit) {
  char text[40];
  TBoundedText(text, sizeof text).Add("code:").Decimal(-5).Add("(").Hex(0x8007000eu).Add(")");
  EXPECT_STREQ(text, "code:-5(8007000e)");
  TBoundedText(text, sizeof text).Decimal(INT32_MIN).Add(" ").Decimal(0).Add(" ").Hex(0);
  EXPECT_STREQ(text, "-2147483648 0 0");

  // A long part is cut to the buffer, its last byte the terminator, the bytes after it untouched.
  char small[8];
  std::memset(small, 'x', sizeof small);
  TBoundedText(small, 6).Add("pic").Decimal(12345);
  EXPECT_STREQ(small, "pic12");
  EXPECT_EQ(small[6], 'x');
  TBoundedText(small, 1).Add("anything");
  EXPECT_STREQ(small, "");
}

// A kept value is a number only when it is digits alone, within its bound.
TEST(BoundedText, ReadsOnlyPlainDecimalsWithinTheirBound) {
  uint32_t value = 7;
  for (const char* bad : {"", "abc", "900", "101", "-5", "+5", " 5", "5%", "99999999999"}) EXPECT_FALSE(ReadDecimal(bad, 100, value));
  EXPECT_TRUE(ReadDecimal("0", 100, value) && value == 0 && ReadDecimal("070", 100, value) && value == 70);
}
