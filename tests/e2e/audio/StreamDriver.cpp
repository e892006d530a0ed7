// Plays the stream the way transport control does, for the recording tests:
//   stream_driver pattern SECONDS   the known pattern from the first refill on
//   stream_driver restart           the pattern for 3.5 s, a stop, a restart with the callback kept
//   stream_driver restart-silent    the same, but the restart is without a callback
//   stream_driver construct         only the constructor; reports whether it threw
// Prints "start <unix ms>" at each Start and "refill <address> <unix ms>" at each refill, so that
// a recording can be lined up with them.
#include "audio/SoundStream.h"
#include "tests/e2e/audio/TestPattern.h"
#include "tests/e2e/audio/UnixMs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

TTestPattern Pattern;
const uint32_t StopTimeoutMs = 3000;

void RenderPattern(void* half, uint32_t bytes) {
  Pattern.Fill(static_cast<int16_t*>(half), bytes / sizeof(int16_t));
  printf("refill %p %lld\n", half, UnixMs());
  fflush(stdout);
}

void StartAndSay(TSoundStream& stream) {
  stream.Start();
  printf("start %lld\n", UnixMs());
  fflush(stdout);
}

HWND MakeWindow() {
  return CreateWindowExA(0, "STATIC", "stream driver", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  HWND window = MakeWindow();
  TSoundStream* stream = nullptr;
  try {
    stream = new TSoundStream(window);
  } catch (const char*) {
    printf("thrown\n");
    return 3;
  }
  if (std::strcmp(mode, "construct") == 0) {
    printf("created\n");
    delete stream;
    return 0;
  }
  stream->SetRenderProc(RenderPattern);
  stream->CreateBuffers(2000);
  // The sound server settles its latency on a new client by rewinding what it has mixed;
  // a recording loses that part, so the measured run begins after it.
  Sleep(1500);
  if (std::strcmp(mode, "pattern") == 0) {
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 6;
    StartAndSay(*stream);
    Sleep(seconds * 1000);
    stream->StopAndWait(StopTimeoutMs);
  } else if (std::strcmp(mode, "restart") == 0 || std::strcmp(mode, "restart-silent") == 0) {
    StartAndSay(*stream);
    Sleep(3500);
    stream->Stop();
    if (std::strcmp(mode, "restart-silent") == 0) stream->SetRenderProc(nullptr);
    StartAndSay(*stream);
    Sleep(4500);
    stream->StopAndWait(StopTimeoutMs);
  } else {
    fprintf(stderr, "stream_driver: unknown mode\n");
    delete stream;
    return 2;
  }
  delete stream;
  return 0;
}
