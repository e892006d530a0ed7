// What each skin button is called and which key presses it: one table for the tooltips, the keys
// and the screen reader alike. No Windows here.
#pragma once
#include <cstddef>

#include "format/DiskFormat.h"

struct TButtonEntry {
  const char* name;       // what it does; for play/pause, while stopped or paused
  const char* actingName; // play/pause while a song plays; null for the other buttons
  const char* keyName;
  int key;                // its virtual-key code
};

// In the order of the button array and of ButtonSections, whose command each button posts.
extern const TButtonEntry ButtonTable[ButtonCount];

// What the button would do if pressed now.
const char* ButtonName(int index, bool playing);
// "Name (Key)", cut to fit `size` and always terminated.
void FormatButtonTip(char* out, size_t size, int index, bool playing);
// The button a key presses, or -1.
int ButtonForKey(int key);
