// The face that moves with the sound: skin.ini's optional level meter, clock, seek bar and volume
// bar, drawn into the back buffer over the face as it was when the skin was loaded.
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
  double heardFraction = 0;   // of the song, for the seek bar
  double volumeFraction = 1;
};

// Reads [Meter], [Clock], [Seek] and [Volume] and keeps what lies beneath them. A section that is
// missing, lacks a key, lies wholly outside the window or names a picture that does not decode
// shows nothing; no message is given.
void LoadFace(const TIniFile& ini);
bool HasFace();
// Each part's rectangle is what DrawFace may ever change of it, empty for a part not shown.
enum TFacePart { FaceMeter, FaceClock, FaceSeekBar, FaceVolumeBar, FacePartCount };
void FaceAreas(RECT (&areas)[FacePartCount]);
// Draws what changed into the back buffer; each part's `dirty` gets its rectangle to present,
// empty when nothing of it changed. True while the meter still has something lit.
bool DrawFace(const TFaceInput& input, RECT (&dirty)[FacePartCount]);
// The bar under a press at (x, y) of the window, FacePartCount for none.
TFacePart FaceBarAt(int32_t x, int32_t y);
// Where (x, y) lies along a bar, 0 to 1, the pointer past either end counting as that end.
double FaceBarFraction(TFacePart bar, int32_t x, int32_t y);
// While held, a bar shows `fraction` whatever DrawFace is given: the lit part follows a drag.
void HoldFaceBar(TFacePart bar, double fraction);
void ReleaseFaceBar();
void FreeFace();
