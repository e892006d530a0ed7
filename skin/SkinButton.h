// The six skin buttons: a state picture each, chosen by hover, press and (for play/pause) the
// transport's flags.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "player/Commands.h"

class TSkinButton;
class TSkinImage;

typedef void (*TButtonDrawProc)(TSkinButton* button);

// The state bits; the state is also the position of the picture shown.
constexpr uint8_t ButtonHover = 1;
constexpr uint8_t ButtonPressed = 2;  // for play/pause: playing
constexpr uint8_t ButtonPaused = 4;

struct TSkinImageDeleter {
  void operator()(TSkinImage* image) const;
};

struct TButtonImage {
  uint8_t position;
  std::unique_ptr<char[]> name;
  std::unique_ptr<TSkinImage, TSkinImageDeleter> picture;  // null when allocation failed
};

class TSkinButton {
public:
  // Also makes the low byte of `osMajorVersion` the drawing OS version of every picture. The
  // button posts its command to `owner`, when there is one.
  TSkinButton(HDC target, int32_t x, int32_t y, HWND owner, TButtonDrawProc drawProc,
              TCommand command, int32_t osMajorVersion);
  ~TSkinButton();
  TSkinButton(const TSkinButton&) = delete;
  TSkinButton& operator=(const TSkinButton&) = delete;

  // Appends the archive entry `name` as the next state picture. A missing entry is reported in a
  // box, appends nothing and gives 0.
  uint8_t AddImage(const char* name);
  // The pointer in client coordinates. True when the button redrew.
  bool MouseMove(int32_t x, int32_t y);
  // Judged by the pointer of the last MouseMove. Commands go out on the press; the eject button
  // closes the window on a release over it.
  bool MouseButton(bool pressed);
  // Draws the picture of the state into the target unless it is already there; no present.
  bool Redraw();
  // The play/pause button's playing and paused bits := the transport's flags; no redraw.
  void TakeTransportState();
  // Where the picture of the present state stands, in client coordinates; empty without one.
  RECT Area();

  HDC target;
  std::vector<TButtonImage> images;
  int32_t x;
  int32_t y;
  TCommand command;
  int32_t pointerX;  // the last MouseMove position minus (x, y)
  int32_t pointerY;
  uint8_t state;
  uint8_t lastDrawnState;
  HWND owner;
  TButtonDrawProc drawProc;

private:
  TSkinImage* ShownPicture();
  bool PointerInside();
  void Post(UINT message, WPARAM wParam);
};

extern TSkinButton* Buttons[ButtonCount];  // Rewind, PlayPause, Stop, Forward, Eject, Info

// The window procedure's two entry points, over the button array. Each presents the back buffer
// once when any button redrew.
void ButtonsMouseMove(int32_t x, int32_t y);
void ButtonsMouseButton(bool pressed);
// A command that came without a mouse press (a key, a media key, a screen reader) shows its
// outcome on the play/pause button at once; a mouse press shows it at the release.
void ButtonsShowTransport();
