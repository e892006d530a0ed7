#include "SkinTestSupport.h"

#include <cstdlib>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

uint32_t Premultiplied(uint32_t argb) {
  const uint32_t a = argb >> 24;
  uint32_t out = a << 24;
  for (int shift = 0; shift < 24; shift += 8) out |= ((argb >> shift & 0xFF) * a / 255) << shift;
  return out;
}

bool WithinOne(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 32; shift += 8)
    if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 1) return false;
  return true;
}

uint32_t Blend(uint32_t oldPixel, uint32_t newPixel, uint32_t alpha) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const double mixed = (newPixel >> shift & 0xFF) * alpha / 255.0 +
                         (oldPixel >> shift & 0xFF) * (1.0 - alpha / 255.0);
    out |= uint32_t(mixed + 0.5) << shift;
  }
  return out;
}

TSkinImage* ImageFromBytes(const std::vector<uint8_t>& bytes) {
  IStream* stream = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  ULONG written = 0;
  stream->Write(bytes.data(), ULONG(bytes.size()), &written);
  LARGE_INTEGER start = {};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  TSkinImage* image = TSkinImage::Create(stream);
  stream->Release();
  return image;
}

TDibSurface::TDibSurface(uint32_t width, uint32_t height, uint32_t fill)
    : width(width), height(height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = LONG(width);
  info.bmiHeader.biHeight = -LONG(height);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* memory = nullptr;
  bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
  bits = static_cast<uint32_t*>(memory);
  for (size_t i = 0; i < size_t(width) * height; ++i) bits[i] = fill;
  dc = CreateCompatibleDC(nullptr);
  previous = SelectObject(dc, bitmap);
}

TDibSurface::~TDibSurface() {
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(bitmap);
}

uint32_t TDibSurface::At(uint32_t x, uint32_t y) const {
  GdiFlush();
  return bits[size_t(y) * width + x];
}

size_t ProcessHeapBytes() {
  const HANDLE heap = GetProcessHeap();
  size_t total = 0;
  HeapLock(heap);
  PROCESS_HEAP_ENTRY entry = {};
  while (HeapWalk(heap, &entry))
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
  HeapUnlock(heap);
  return total;
}
