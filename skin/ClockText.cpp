#include "skin/ClockText.h"

namespace {
char* TwoDigits(char* at, unsigned value) {
  *at++ = char('0' + value / 10);
  *at++ = char('0' + value % 10);
  return at;
}
}  // namespace

void FormatClock(uint32_t seconds, char (&out)[ClockTextSize]) {
  const unsigned hours = seconds / 3600, minutes = seconds / 60 % 60;
  char* at = out;
  if (hours > 0) {
    char digits[12];
    int count = 0;
    for (unsigned h = hours; h > 0; h /= 10) digits[count++] = char('0' + h % 10);
    while (count > 0) *at++ = digits[--count];
    *at++ = ':';
    at = TwoDigits(at, minutes);
  } else if (minutes >= 10) {
    at = TwoDigits(at, minutes);
  } else {
    *at++ = char('0' + minutes);
  }
  *at++ = ':';
  at = TwoDigits(at, seconds % 60);
  *at = '\0';
}

int ClockGlyph(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  return c == ':' ? 10 : -1;
}
