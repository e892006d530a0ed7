// The stream against the real DirectSound under a sound server: buffer layout, refill timing,
// the state rules, failures on the way, and destruction.
#include "audio/SoundStream.h"
#include "tests/support/BoxWatcher.h"
#include "tests/support/Seconds.h"
#include "tests/unit/audio/DirectSoundSpy.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

const uint32_t HalfBytes = 176400;

struct TRefill {
  void* address;
  uint32_t bytes;
  double seconds;  // since ResetClock
  DWORD thread;
  bool zeroed;     // the half held only zeros when the callback got it
};

std::mutex RefillMutex;
std::vector<TRefill> Refills;
double Origin = 0;
HANDLE StuckCallbackRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);

void ResetClock() { Origin = SecondsNow(); }

// Marks the half so that the next refill of it shows whether it was cleared first.
void RecordRefill(void* half, uint32_t bytes) {
  const unsigned char* data = static_cast<const unsigned char*>(half);
  bool zeroed = true;
  for (uint32_t i = 0; i < bytes && zeroed; ++i) zeroed = data[i] == 0;
  std::memset(half, 0x5A, bytes);
  std::lock_guard<std::mutex> lock(RefillMutex);
  Refills.push_back({half, bytes, SecondsNow() - Origin, GetCurrentThreadId(), zeroed});
}

void StuckRefill(void* half, uint32_t bytes) {
  RecordRefill(half, bytes);
  WaitForSingleObject(StuckCallbackRelease, INFINITE);
}

std::vector<TRefill> TakeRefills() {
  std::lock_guard<std::mutex> lock(RefillMutex);
  return Refills;
}

void ClearRefills() {
  std::lock_guard<std::mutex> lock(RefillMutex);
  Refills.clear();
}

bool WaitForRefills(size_t count, double timeoutSeconds) {
  const double until = SecondsNow() + timeoutSeconds;
  while (TakeRefills().size() < count) {
    if (SecondsNow() > until) return false;
    Sleep(5);
  }
  return true;
}

template <class TAction>
double SecondsTaken(TAction action) {
  const double begin = SecondsNow();
  action();
  return SecondsNow() - begin;
}

// The stop transport control uses.
double TimedStopAndWait(TSoundStream& stream, uint32_t timeoutMs = 5000) {
  return SecondsTaken([&] { stream.StopAndWait(timeoutMs); });
}

// With a fresh log, so that it holds what destruction did.
double TimedDestruction(std::unique_ptr<TSoundStream>& stream) {
  DirectSoundSpy::Reset();
  return SecondsTaken([&] { stream.reset(); });
}

size_t CountCalls(const std::string& what, const std::string& object) {
  return DirectSoundSpy::Calls(what, object).size();
}

// The secondary buffer's locks: of the whole buffer (the clears) or of a half.
std::vector<TSpyCall> Locks(bool entire) {
  std::vector<TSpyCall> locks;
  for (const TSpyCall& lock : DirectSoundSpy::Calls("Lock", "secondary")) {
    if (bool(lock.flags & DSBLOCK_ENTIREBUFFER) == entire) locks.push_back(lock);
  }
  return locks;
}

// "what object" for each logged call to one of `whats` (to any method when empty), in order.
std::vector<std::string> CallNames(std::initializer_list<const char*> whats = {}) {
  std::vector<std::string> names;
  for (const TSpyCall& call : DirectSoundSpy::Calls()) {
    bool wanted = whats.size() == 0;
    for (const char* what : whats) wanted = wanted || call.what == what;
    if (wanted) names.push_back(call.what + " " + call.object);
  }
  return names;
}

// The thread of each logged Stop.
std::vector<DWORD> StopThreads() {
  std::vector<DWORD> threads;
  for (const TSpyCall& call : DirectSoundSpy::Calls()) {
    if (call.what == "Stop") threads.push_back(call.thread);
  }
  return threads;
}

const std::vector<std::string> BufferStops = {"Stop secondary", "Stop primary"};
std::vector<std::string> ReleaseOrder() { return CallNames({"Release", "Stop"}); }

class SoundStreamTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { DirectSoundSpy::Install(); }

  void SetUp() override {
    window = CreateWindowExA(0, "STATIC", "sound stream test", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    DirectSoundSpy::Reset();
    ClearRefills();
  }

  void TearDown() override { DestroyWindow(window); }

  std::unique_ptr<TSoundStream> MakeStream(TRenderProc render, uint32_t ms = 2000) {
    std::unique_ptr<TSoundStream> stream(new TSoundStream(window));
    stream->SetRenderProc(render);
    stream->CreateBuffers(ms);
    return stream;
  }

  HWND window = nullptr;
};

TEST_F(SoundStreamTest, TwoSecondBufferLayout) {
  TSoundStream stream(window);
  stream.SetRenderProc(RecordRefill);
  EXPECT_EQ(S_OK, stream.CreateBuffers(2000));

  const std::vector<std::string> expected = {"CreateSoundBuffer primary", "SetFormat primary",
                                             "CreateSoundBuffer secondary", "SetNotificationPositions notify"};
  EXPECT_EQ(expected, CallNames());

  const TSpyCall primary = DirectSoundSpy::Calls("CreateSoundBuffer", "primary").at(0);
  EXPECT_EQ(0x81u, primary.flags);
  EXPECT_EQ(0u, primary.bytes);
  EXPECT_FALSE(primary.hasFormat);

  const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  EXPECT_EQ(0, std::memcmp(&format, &DirectSoundSpy::Calls("SetFormat", "primary").at(0).format, sizeof format));

  const TSpyCall secondary = DirectSoundSpy::Calls("CreateSoundBuffer", "secondary").at(0);
  EXPECT_EQ(0x81E8u | DSBCAPS_GETCURRENTPOSITION2, secondary.flags);  // a cursor true to the sound
  EXPECT_EQ(352800u, secondary.bytes);
  ASSERT_TRUE(secondary.hasFormat);
  EXPECT_EQ(0, std::memcmp(&format, &secondary.format, sizeof format));

  const TSpyCall notify = DirectSoundSpy::Calls("SetNotificationPositions", "notify").at(0);
  EXPECT_EQ((std::vector<uint32_t>{176400, 352797}), notify.offsets);
  ASSERT_EQ(2u, notify.events.size());
  EXPECT_NE(notify.events[0], notify.events[1]);

  // Nothing plays until Start, so no refill comes.
  Sleep(1300);
  EXPECT_TRUE(TakeRefills().empty());
  EXPECT_EQ(0u, CallNames({"Play"}).size());
}

// Ten seconds of playback: every refill, its half, its time.
TEST_F(SoundStreamTest, TimingHalvesAlternateOneSecondApart) {
  std::unique_ptr<TSoundStream> stream = MakeStream(RecordRefill);
  ResetClock();
  stream->Start();
  Sleep(10300);
  EXPECT_LT(TimedStopAndWait(*stream), 1.2);
  const std::vector<TRefill> refills = TakeRefills();

  const std::vector<TSpyCall> halfLocks = Locks(false);
  for (size_t i = 0; i < refills.size(); ++i) std::printf("refill %zu at %.3f s\n", i, refills[i].seconds);
  ASSERT_GE(refills.size(), 10u);
  ASSERT_LE(refills.size(), 11u);
  ASSERT_GE(halfLocks.size(), refills.size());
  unsigned char* const bufferStart = static_cast<unsigned char*>(halfLocks[0].address);
  EXPECT_EQ(0u, halfLocks[0].offset);
  for (size_t i = 0; i < refills.size(); ++i) {
    const int half = int(i % 2);
    EXPECT_EQ(bufferStart + half * HalfBytes, refills[i].address) << "refill " << i;
    EXPECT_EQ(half * HalfBytes, halfLocks[i].offset) << "refill " << i;
    EXPECT_EQ(HalfBytes, halfLocks[i].bytes);
    EXPECT_EQ(HalfBytes, refills[i].bytes);
    EXPECT_TRUE(refills[i].zeroed) << "refill " << i;
    EXPECT_NE(GetCurrentThreadId(), refills[i].thread);
    EXPECT_NEAR(double(i + 1), refills[i].seconds, 0.3) << "refill " << i;
    if (i > 0) {
      EXPECT_NEAR(1.0, refills[i].seconds - refills[i - 1].seconds, 0.25) << "refill " << i;
    }
  }
}

TEST_F(SoundStreamTest, TimingStartWhileRunningThenAStopHandshakeThenDestruction) {
  std::unique_ptr<TSoundStream> stream = MakeStream(RecordRefill);
  ResetClock();
  stream->Start();
  ASSERT_TRUE(WaitForRefills(1, 1.6));
  const std::vector<std::string> started = {"SetCurrentPosition secondary", "Play primary", "Play secondary"};
  for (int start = 0; start < 2; ++start) {
    if (start == 1) stream->Start();
    EXPECT_EQ(1u, Locks(true).size()) << "start " << start;
    EXPECT_EQ(started, CallNames({"SetCurrentPosition", "Play"})) << "start " << start;
  }

  // Playback went on: the next refill is the second half, a second after the first.
  ASSERT_TRUE(WaitForRefills(2, 1.6));
  const std::vector<TRefill> refills = TakeRefills();
  EXPECT_EQ(static_cast<unsigned char*>(refills[0].address) + HalfBytes, refills[1].address);
  EXPECT_NEAR(2.0, refills[1].seconds, 0.3);

  // The stop handshake is answered by the worker.
  Sleep(400);
  const size_t refillsBefore = TakeRefills().size();
  DirectSoundSpy::Reset();
  const double took = TimedStopAndWait(*stream);
  std::printf("stop handshake took %.3f s\n", took);
  EXPECT_LE(took, 1.2);

  // The worker stopped both buffers and left the half whose event woke it alone: nothing writes
  // into the buffer once the handshake has returned.
  EXPECT_EQ(BufferStops, CallNames({"Stop"}));
  EXPECT_EQ(std::vector<DWORD>(2, TakeRefills().at(0).thread), StopThreads());
  Sleep(500);
  EXPECT_EQ(refillsBefore, TakeRefills().size());
  EXPECT_EQ(0u, CountCalls("Lock", "secondary"));

  // The running flag went down with it: a new Start plays again. Destruction stops the buffers,
  // ends the worker, then releases in order.
  stream->Start();
  EXPECT_EQ(1u, CountCalls("Play", "secondary"));
  HANDLE worker = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, refills[0].thread);
  ASSERT_NE(nullptr, worker);
  EXPECT_LT(TimedDestruction(stream), 0.5);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 0));
  DWORD exitCode = 1;
  GetExitCodeThread(worker, &exitCode);
  EXPECT_EQ(0u, exitCode);
  CloseHandle(worker);
  const std::vector<std::string> expected = {"Stop secondary",    "Stop primary",     "Release notify",
                                             "Release secondary", "Stop primary",     "Release primary",
                                             "Release dsound"};
  EXPECT_EQ(expected, ReleaseOrder());
}

TEST_F(SoundStreamTest, StopWhileStoppedKeepsAPendingRequest) {
  std::unique_ptr<TSoundStream> stream = MakeStream(RecordRefill);
  EXPECT_FALSE(stream->IsStopRequested());
  stream->RequestStop();
  stream->Stop();
  EXPECT_TRUE(stream->IsStopRequested());
  EXPECT_EQ(0u, CountCalls("Stop", "secondary"));

  stream->Start();
  EXPECT_FALSE(stream->IsStopRequested());
  stream->Stop();
  EXPECT_EQ(1u, CountCalls("Stop", "secondary"));
  stream->RequestStop();
  stream->Stop();
  EXPECT_TRUE(stream->IsStopRequested());
  EXPECT_EQ(1u, CountCalls("Stop", "secondary"));

  // Nothing runs, so the waiting stop has no one to wait for.
  EXPECT_LT(TimedStopAndWait(*stream), 0.1);
  EXPECT_EQ(1u, CountCalls("Stop", "secondary"));
}

TEST_F(SoundStreamTest, TimingRefillWithAFailedLockWritesNothing) {
  DirectSoundSpy::Fail(FailHalfLock);
  std::unique_ptr<TSoundStream> stream = MakeStream(RecordRefill);
  stream->Start();
  Sleep(2400);
  stream->Stop();
  EXPECT_TRUE(TakeRefills().empty());
  EXPECT_GE(Locks(false).size(), 2u);
  EXPECT_TRUE(stream->IsLost());
  // Only the clear at Start unlocks.
  const std::vector<TSpyCall> unlocks = DirectSoundSpy::Calls("Unlock", "secondary");
  ASSERT_EQ(1u, unlocks.size());
  EXPECT_EQ(352800u, unlocks[0].bytes);
}

// A clear that cannot lock leaves the buffer alone; playback and refills go on, and the stream
// counts as lost, as after any failed call of a start or a stop.
TEST_F(SoundStreamTest, StartWithAFailedClearStillPlays) {
  DirectSoundSpy::Fail(FailEntireLock);
  std::unique_ptr<TSoundStream> stream = MakeStream(RecordRefill);
  ResetClock();
  stream->Start();
  EXPECT_EQ(1u, Locks(true).size());
  EXPECT_EQ(0u, CountCalls("Unlock", "secondary"));
  EXPECT_EQ(1u, CountCalls("Play", "secondary"));
  EXPECT_TRUE(WaitForRefills(1, 1.6));
  stream->Stop();
  EXPECT_TRUE(stream->IsLost());
  for (uint32_t failure : {FailUnlock, FailSetPosition, FailStop}) {
    std::unique_ptr<TSoundStream> failing = MakeStream(RecordRefill);
    DirectSoundSpy::Fail(failure);
    failing->Start();
    failing->Stop();
    EXPECT_TRUE(failing->IsLost()) << failure;
    DirectSoundSpy::Reset();
  }
}

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto seconds = [](FILETIME t) {
    return double(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// A callback that does not return. The waiting stop gives up on the worker and stops the buffers
// itself; destruction gives up after its time-out and leaves the worker what it can still reach.
// The process stays quiet; when the callback does return at last, the worker finishes its refill
// on what was left to it and ends. The next stream plays.
TEST_F(SoundStreamTest, StuckWorkerIsLeftBehind) {
  std::unique_ptr<TSoundStream> stream = MakeStream(StuckRefill);
  ResetClock();
  stream->Start();
  ASSERT_TRUE(WaitForRefills(1, 1.6));
  const DWORD stuckWorker = TakeRefills()[0].thread;

  DirectSoundSpy::Reset();
  const double stopTook = TimedStopAndWait(*stream, 1000);
  std::printf("waiting stop with a stuck worker took %.3f s\n", stopTook);
  EXPECT_NEAR(1.0, stopTook, 0.2);
  EXPECT_FALSE(stream->IsStopRequested());
  EXPECT_EQ(BufferStops, CallNames({"Stop"}));
  EXPECT_EQ(std::vector<DWORD>(2, GetCurrentThreadId()), StopThreads());

  const double took = TimedDestruction(stream);
  std::printf("destruction with a stuck worker took %.3f s\n", took);
  EXPECT_GE(took, 2.9);
  EXPECT_LE(took, 3.5);
  EXPECT_TRUE(ReleaseOrder().empty());

  const double cpuBefore = ProcessCpuSeconds();
  Sleep(5000);
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  std::printf("CPU over the 5 s after: %.3f s\n", cpu);
  EXPECT_LT(cpu, 0.25);

  HANDLE worker = OpenThread(SYNCHRONIZE, FALSE, stuckWorker);
  ASSERT_NE(nullptr, worker);
  SetEvent(StuckCallbackRelease);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 1000));
  CloseHandle(worker);

  ClearRefills();
  DirectSoundSpy::Reset();
  std::unique_ptr<TSoundStream> next = MakeStream(RecordRefill);
  ResetClock();
  next->Start();
  ASSERT_TRUE(WaitForRefills(2, 2.6));
  const std::vector<TRefill> refills = TakeRefills();
  EXPECT_NEAR(1.0, refills[0].seconds, 0.3);
  EXPECT_NEAR(2.0, refills[1].seconds, 0.3);
  EXPECT_TRUE(refills[0].zeroed && refills[1].zeroed);
  EXPECT_NE(stuckWorker, refills[0].thread);
  EXPECT_LT(TimedStopAndWait(*next), 1.2);
  EXPECT_EQ(std::vector<DWORD>(2, refills[0].thread), StopThreads());
  EXPECT_LT(TimedDestruction(next), 0.5);
}

struct TFailureCase {
  const char* name;
  TSpyFailure failure;
  const char* message;
  std::vector<std::string> releases;  // what destruction stops and releases
  std::vector<std::string> plays;     // the buffers Start plays
};

void PrintTo(const TFailureCase& c, std::ostream* out) { *out << c.name; }

class SoundStreamFailureTest : public SoundStreamTest, public ::testing::WithParamInterface<TFailureCase> {};

// After a failed creation the stream still starts, stops and goes, without what is missing.
TEST_P(SoundStreamFailureTest, SaysOopsAndLeavesOutWhatIsMissing) {
  const TFailureCase& c = GetParam();
  std::unique_ptr<TSoundStream> stream(new TSoundStream(window));
  stream->SetRenderProc(RecordRefill);
  DirectSoundSpy::Fail(c.failure);
  TBoxWatcher watcher;
  EXPECT_TRUE(FAILED(stream->CreateBuffers(2000)));
  EXPECT_EQ(std::vector<std::string>{std::string("Oops|") + c.message}, watcher.Seen());
  EXPECT_EQ(std::vector<std::string>{"error"}, watcher.Icons());
  EXPECT_EQ(0u, CountCalls("SetNotificationPositions", "notify"));

  DirectSoundSpy::Reset();
  stream->Start();
  Sleep(1300);
  EXPECT_TRUE(TakeRefills().empty());
  EXPECT_EQ(c.plays, CallNames({"Play"}));

  // No worker to answer: the waiting stop stops at once.
  EXPECT_LT(TimedStopAndWait(*stream), 0.1);
  stream->Start();
  EXPECT_LT(TimedDestruction(stream), 0.5);
  EXPECT_EQ(c.releases, ReleaseOrder());
}

INSTANTIATE_TEST_SUITE_P(
    Buffers, SoundStreamFailureTest,
    ::testing::Values(
        TFailureCase{"Primary", FailPrimaryCreate, "Primary buffer creation failed",
                     {"Release dsound"}, {}},
        TFailureCase{"Format", FailSetFormat, "Format setting failed",
                     {"Stop primary", "Stop primary", "Release primary", "Release dsound"}, {"Play primary"}},
        TFailureCase{"Secondary", FailSecondaryCreate, "Secondary buffer creation failed",
                     {"Stop primary", "Stop primary", "Release primary", "Release dsound"}, {"Play primary"}}),
    [](const ::testing::TestParamInfo<TFailureCase>& info) { return std::string(info.param.name); });

}  // namespace
