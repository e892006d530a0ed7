// CPU of the stream over ten seconds of playback: the worker thread alone (its waits and
// refills), and the whole process (with the platform's own mixing threads), for a render
// callback that writes a tone and for none at all.
#include "audio/SoundStream.h"

#include <cmath>
#include <cstdio>

namespace {

HANDLE Worker;
uint32_t Phase;
int RefillCount;

void NoteWorker() {
  ++RefillCount;
  if (!Worker) Worker = OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());
}

void RenderTone(void* half, uint32_t bytes) {
  NoteWorker();
  int16_t* samples = static_cast<int16_t*>(half);
  for (uint32_t i = 0; i < bytes / 4; ++i, ++Phase) {
    const int16_t value = static_cast<int16_t>(8000 * std::sin(Phase * 2 * 3.14159265 * 440 / 44100));
    samples[2 * i] = value;
    samples[2 * i + 1] = value;
  }
}

void RenderNothing(void*, uint32_t) { NoteWorker(); }

double Seconds(const FILETIME& t) {
  ULARGE_INTEGER v;
  v.LowPart = t.dwLowDateTime;
  v.HighPart = t.dwHighDateTime;
  return double(v.QuadPart) / 1e7;
}

struct TCpu {
  double worker, process, wall;
};

TCpu Sample() {
  FILETIME created, exited, kernel, user;
  TCpu cpu = {};
  GetThreadTimes(Worker, &created, &exited, &kernel, &user);
  cpu.worker = Seconds(kernel) + Seconds(user);
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  cpu.process = Seconds(kernel) + Seconds(user);
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  cpu.wall = double(now.QuadPart) / double(frequency.QuadPart);
  return cpu;
}

void Measure(HWND window, const char* name, TRenderProc render) {
  TSoundStream* stream = new TSoundStream(window);
  stream->SetRenderProc(render);
  stream->CreateBuffers(2000);
  Worker = nullptr;
  RefillCount = 0;
  stream->Start();
  Sleep(1300);  // the first refill names the worker
  const int refillsBefore = RefillCount;
  const TCpu before = Sample();
  Sleep(10000);
  const TCpu after = Sample();
  const int refills = RefillCount - refillsBefore;
  const double wall = after.wall - before.wall;
  const double worker = after.worker - before.worker;
  const double process = after.process - before.process;
  printf("%-8s wall %.2f s  refills %d  worker %.1f ms (%.3f%%, %.2f ms a refill)  process %.1f ms (%.2f%%)\n",
         name, wall, refills, worker * 1000, 100 * worker / wall, refills ? worker * 1000 / refills : 0.0,
         process * 1000, 100 * process / wall);
  fflush(stdout);
  stream->Stop();
  delete stream;
  CloseHandle(Worker);
}

}  // namespace

int main() {
  HWND window = CreateWindowExA(0, "STATIC", "stream cpu", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  try {
    Measure(window, "tone", RenderTone);
    Measure(window, "silence", RenderNothing);
  } catch (const char*) {
    return 1;
  }
  return 0;
}
