// The window outline of a checkered pic.png, built as the program builds it and as it once was
// (cutting run by run), and handed to a window, against the number of runs. Run under wine:
//   wine outline_bench.exe [ROWS RUNS_PER_ROW]...   (default: 600, 5,000 and 20,000 runs)
#include "skin/WindowShape.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void Measure(uint32_t rows, uint32_t runsPerRow) {
  const uint32_t w = 40 + 2 * runsPerRow, h = rows + 40;
  std::vector<uint32_t> pixels(size_t(w) * h, 0xFF000000);
  for (uint32_t y = 0; y < rows; ++y)
    for (uint32_t x = 0; x < 2 * runsPerRow; x += 2) pixels[size_t(y) * w + 20 + x + y % 2] = 0;
  const std::vector<TTransparentRun> runs =
      ScanTransparentRuns(reinterpret_cast<const uint8_t*>(pixels.data()), w, h, int32_t(w * 4));

  double start = Now();
  HRGN cut = CreateRectRgn(0, 0, int(w), int(h));
  for (const TTransparentRun& run : runs) {
    HRGN piece = CreateRectRgn(run.firstColumn, run.row, run.endColumn, run.row + 1);
    CombineRgn(cut, cut, piece, RGN_XOR);
    DeleteObject(piece);
  }
  const double cutMs = Now() - start;
  start = Now();
  HRGN outline = CreateOutlineRegion(w, h, runs);
  const double outlineMs = Now() - start;
  const bool equal = EqualRgn(cut, outline);
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 100, int(w), int(h), nullptr,
                                nullptr, nullptr, nullptr);
  start = Now();
  SetWindowRgn(window, outline, TRUE);  // the window owns it from here
  const double shapeMs = Now() - start;
  std::printf("%6zu runs: cut run by run %8.1f ms, built now %6.1f ms (%s), SetWindowRgn %7.1f ms\n",
              runs.size(), cutMs, outlineMs, equal ? "equal" : "DIFFERENT", shapeMs);
  DestroyWindow(window);
  DeleteObject(cut);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    Measure(20, 30);
    Measure(50, 100);
    Measure(100, 200);
  }
  for (int i = 1; i + 1 < argc; i += 2) Measure(uint32_t(atoi(argv[i])), uint32_t(atoi(argv[i + 1])));
  return 0;
}
