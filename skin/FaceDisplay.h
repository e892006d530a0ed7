// The face that moves with the sound: skin.ini's optional level meter and clock, drawn into the
// back buffer over the face as it was when the skin was loaded.
#pragma once
#include <windows.h>

#include <cstdint>

class TIniFile;

// What is heard at one display frame.
struct TFaceInput {
  bool stopped = true;       // the meter goes dark at once and the clock shows nothing
  bool clockShown = false;
  uint32_t seconds = 0;
  bool audible = false;      // pcm holds MeterWindowFrames frames of sound; otherwise the meter falls
  const int16_t* pcm = nullptr;
  double elapsedSeconds = 0;  // since the frame before
};

// Reads [Meter] and [Clock] and keeps what lies beneath them. A section that is missing, lacks a
// key, lies wholly outside the window or names a picture that does not decode shows nothing; no
// message is given.
void LoadFace(const TIniFile& ini);
bool HasFace();
// The meter and the clock: each part's rectangle is what DrawFace may ever change of it, empty
// for a part not shown.
constexpr int FacePartCount = 2;
void FaceAreas(RECT (&areas)[FacePartCount]);
// Draws what changed into the back buffer; each part's `dirty` gets its rectangle to present,
// empty when nothing of it changed. True while the meter still has something lit.
bool DrawFace(const TFaceInput& input, RECT (&dirty)[FacePartCount]);
void FreeFace();
