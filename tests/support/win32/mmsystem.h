// The wave format of the stand-in Win32 headers.
#pragma once
#include "windows.h"

#define WAVE_FORMAT_PCM 1
typedef struct {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
} WAVEFORMATEX;
