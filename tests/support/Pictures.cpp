#include "tests/support/Pictures.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

TPixels MakePixels(uint32_t width, uint32_t height, const std::function<uint32_t(uint32_t x, uint32_t y)>& colour) {
  TPixels pixels;
  pixels.width = width;
  pixels.height = height;
  pixels.argb.resize(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) pixels.At(x, y) = colour(x, y);
  return pixels;
}

std::vector<uint8_t> EncodePng(const TPixels& pixels) {
  // {557CF406-1A04-11D3-9A73-0000F81EF32E}: the built-in PNG encoder.
  const CLSID pngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
  GpBitmap* bitmap = nullptr;
  GdipCreateBitmapFromScan0(INT(pixels.width), INT(pixels.height), INT(pixels.width * 4),
                            PixelFormat32bppARGB,
                            reinterpret_cast<BYTE*>(const_cast<uint32_t*>(pixels.argb.data())),
                            &bitmap);
  IStream* stream = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  GdipSaveImageToStream(bitmap, stream, &pngEncoder, nullptr);
  GdipDisposeImage(bitmap);

  STATSTG stat = {};
  stream->Stat(&stat, STATFLAG_NONAME);
  std::vector<uint8_t> bytes(size_t(stat.cbSize.QuadPart));
  LARGE_INTEGER start = {};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  stream->Read(bytes.data(), ULONG(bytes.size()), &read);
  stream->Release();
  bytes.resize(read);
  return bytes;
}
