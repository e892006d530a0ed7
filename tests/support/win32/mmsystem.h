// The wave format of the stand-in Win32 headers.
#pragma once
#include "windows.h"

#define WAVE_FORMAT_PCM 1
typedef struct {
  WORD wFormatTag, nChannels;
  DWORD nSamplesPerSec, nAvgBytesPerSec;
  WORD nBlockAlign, wBitsPerSample, cbSize;
} WAVEFORMATEX;
