#include "skin/SkinButton.h"

#include <cstring>

#include "player/TransportFlags.h"
#include "skin/PictureEntry.h"
#include "skin/SkinImage.h"
#include "skin/WindowShape.h"
#include "vfs/VfsFile.h"

static const char MissingPictureCaption[] = "Shit";
static const uint8_t NeverDrawn = 255;

TSkinButton* Buttons[ButtonCount] = {};

void TSkinImageDeleter::operator()(TSkinImage* image) const {
  if (image) image->Destroy(true);
}

TSkinButton::TSkinButton(HDC target, int32_t x, int32_t y, HWND owner, TButtonDrawProc drawProc,
                         TCommand command, int32_t osMajorVersion)
    : target(target), x(x), y(y), command(command), pointerX(0), pointerY(0), state(0),
      lastDrawnState(NeverDrawn), owner(owner), drawProc(drawProc) {
  DrawingOsVersion = int8_t(osMajorVersion & 0xFF);
}

TSkinButton::~TSkinButton() {
  // In list order: each name, then its picture.
  for (TButtonImage& image : images) {
    image.name.reset();
    image.picture.reset();
  }
}

uint8_t TSkinButton::AddImage(const char* name) {
  if (!SelectPictureEntry(name, MissingPictureCaption)) return 0;
  const size_t length = std::strlen(name) + 1;
  TButtonImage image;
  image.position = uint8_t(images.size());
  image.name.reset(new char[length]);
  std::memcpy(image.name.get(), name, length);
  image.picture.reset(TSkinImage::Create(Archive));
  images.push_back(std::move(image));
  return images.back().position;
}

// A state without a usable picture of its own shows picture 0, so that a skin with an idle
// picture alone still has working buttons. Null when there is nothing at all to show.
TSkinImage* TSkinButton::ShownPicture() {
  auto usable = [](const TButtonImage& image) {
    return image.picture != nullptr && image.picture->nativeBitmap != nullptr;
  };
  if (state < images.size() && usable(images[state])) return images[state].picture.get();
  return images.empty() ? nullptr : images[0].picture.get();
}

bool TSkinButton::PointerInside() {
  TSkinImage* picture = ShownPicture();
  if (picture == nullptr || pointerX < 0 || pointerY < 0) return false;
  return uint32_t(pointerX) < picture->GetWidth() && uint32_t(pointerY) < picture->GetHeight();
}

void TSkinButton::Post(UINT message, WPARAM wParam) {
  if (owner) PostMessageA(owner, message, wParam, 0);
}

bool TSkinButton::MouseMove(int32_t x, int32_t y) {
  // Wrapping keeps far-off pointers far off without overflowing.
  pointerX = int32_t(uint32_t(x) - uint32_t(this->x));
  pointerY = int32_t(uint32_t(y) - uint32_t(this->y));
  state = uint8_t((state & ~ButtonHover) | (PointerInside() ? ButtonHover : 0));
  return Redraw();
}

bool TSkinButton::MouseButton(bool pressed) {
  const bool inside = PointerInside();
  if (inside && !pressed && command == cmdEject) Post(WM_CLOSE, 0);
  if (inside && pressed) Post(WM_PLAYER_COMMAND, WPARAM(command));
  state = uint8_t((state & ~ButtonPressed) | (inside && pressed ? ButtonPressed : 0));
  // At a press the command is still on its way: the picture shows the state before it.
  if (command == cmdPlayPause) TakeTransportState();
  return Redraw();
}

void TSkinButton::TakeTransportState() {
  state = uint8_t(state & ~(ButtonPressed | ButtonPaused));
  if (PlayingFlag.load()) state |= ButtonPressed;
  if (PausedFlag.load()) state |= ButtonPaused;
}

bool TSkinButton::Redraw() {
  if (state == lastDrawnState) return false;
  if (TSkinImage* picture = ShownPicture()) DrawImage(x, y, picture, target);
  if (drawProc) drawProc(this);
  lastDrawnState = state;
  return true;
}

RECT TSkinButton::Area() {
  TSkinImage* picture = ShownPicture();
  const LONG w = picture ? LONG(picture->GetWidth()) : 0;
  const LONG h = picture ? LONG(picture->GetHeight()) : 0;
  return RECT{x, y, x + w, y + h};
}

void ButtonsShowTransport() {
  for (TSkinButton* button : Buttons)
    if (button && button->command == cmdPlayPause) {
      button->TakeTransportState();
      if (button->Redraw()) PresentBackBuffer();
    }
}

void ButtonsMouseMove(int32_t x, int32_t y) {
  bool changed = false;
  for (TSkinButton* button : Buttons)
    if (button && button->MouseMove(x, y)) changed = true;
  if (changed) PresentBackBuffer();
}

void ButtonsMouseButton(bool pressed) {
  bool changed = false;
  for (TSkinButton* button : Buttons)
    if (button && button->MouseButton(pressed)) changed = true;
  if (changed) PresentBackBuffer();
}
