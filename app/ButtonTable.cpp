#include "app/ButtonTable.h"

// Z, V and B are where long-standing desktop players put previous, stop and next, on the bottom
// row under the left hand; Space plays and pauses as in every media player.
const TButtonEntry ButtonTable[ButtonCount] = {
    {"Previous song", nullptr, "Z", 'Z'},
    {"Play", "Pause", "Space", ' '},
    {"Stop", nullptr, "V", 'V'},
    {"Next song", nullptr, "B", 'B'},
    {"Close", nullptr, "Esc", 0x1B},
    {"Info", nullptr, "I", 'I'},
};

const char* ButtonName(int index, bool playing) {
  if (index < 0 || index >= ButtonCount) return "";
  const TButtonEntry& entry = ButtonTable[index];
  return playing && entry.actingName ? entry.actingName : entry.name;
}

// By hand: the C library's formatting would add tens of KiB to the exe.
void FormatButtonTip(char* out, size_t size, int index, bool playing) {
  if (size == 0) return;
  const char* key = index >= 0 && index < ButtonCount ? ButtonTable[index].keyName : "";
  const char* parts[] = {ButtonName(index, playing), " (", key, ")"};
  size_t n = 0;
  for (const char* part : parts)
    for (; *part && n + 1 < size; ++part) out[n++] = *part;
  out[n] = 0;
}

int ButtonForKey(int key) {
  for (int i = 0; i < ButtonCount; ++i)
    if (ButtonTable[i].key == key) return i;
  return -1;
}
