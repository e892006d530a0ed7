// The clock's text and the glyphs it is drawn with. No Windows here: tested natively too.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t ClockTextSize = 16;
constexpr int ClockGlyphCount = 11;  // 0 to 9, then ':'

// "m:ss", "mm:ss" from ten minutes, "h:mm:ss" from an hour.
void FormatClock(uint32_t seconds, char (&out)[ClockTextSize]);
// The glyph of a clock character: 0 to 9 for the digits, 10 for ':', -1 for anything else.
int ClockGlyph(char c);
