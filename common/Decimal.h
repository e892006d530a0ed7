// A whole number as an INI file holds one, read strictly: decimal digits alone, with no sign,
// space or unit. No Windows here.
#pragma once
#include <cstdint>

// False, and value untouched, for any other text, and for a number above max (below 400,000,000).
inline bool ReadDecimal(const char* text, uint32_t max, uint32_t& value) {
  uint32_t read = 0;
  if (*text == '\0') return false;
  for (; *text; ++text) {
    if (*text < '0' || *text > '9') return false;
    read = read * 10 + uint32_t(*text - '0');
    if (read > max) return false;
  }
  value = read;
  return true;
}
