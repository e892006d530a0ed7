// Transport control against a recording player library and the real stream: the library calls,
// the buffer calls and the posted messages of every transport state and command, in order.
#include "player/Transport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "OrvelPlayer.h"
#include "audio/SoundStream.h"
#include "player/Commands.h"
#include "player/PlayList.h"
#include "player/PlayerListener.h"
#include "tests/support/Seconds.h"
#include "tests/unit/audio/DirectSoundSpy.h"

extern "C" __declspec(dllimport) void InstallOrvelPlayer(IOrvelPlayer* player);

namespace {

using TCalls = std::vector<std::string>;

void Note(const std::string& what) { DirectSoundSpy::Note(what, "library"); }

// Handles count up from 1; a name beginning with "missing" does not load. Render writes a quiet
// tone; when asked to play songs through, it notes each song as its sound begins ("heard 1") and
// ends the selected song at its second render.
class TRecordingPlayer : public IOrvelPlayer {
public:
  int initResult = 0;
  std::atomic<bool> playThrough{false};
  TSongHandle lastHandle = 0;

  int GetVersion() override { return Unexpected("GetVersion"); }
  int Init(const TPlayerSettings* s) override {
    Note("Init " + std::to_string(s->interpolation) + "," + std::to_string(s->reserved1) + "," +
         std::to_string(s->sampleRate) + "," + std::to_string(s->reserved2));
    return initResult;
  }
  void Shutdown() override { Note("Shutdown"); }
  TSongHandle LoadSong(const char* name) override {
    Note(std::string("LoadSong ") + name);
    return std::string(name).rfind("missing", 0) == 0 ? 0 : ++lastHandle;
  }
  int32_t GetSongLength(TSongHandle) override { return Unexpected("GetSongLength"); }
  int FreeSong(TSongHandle song) override { return Noted("FreeSong", song); }
  int SelectSong(TSongHandle song) override {
    selected = song;
    renders = 0;
    return Noted("SelectSong", song);
  }
  int SetState(int state) override { return Noted("SetState", state); }
  int SetPosition(int position) override {
    renders = 0;
    return Noted("SetPosition", position);
  }
  int32_t GetPosition() override { return Unexpected("GetPosition"); }
  int Render(float* buffer, int frames) override {
    for (int i = 0; i < 2 * frames; ++i) buffer[i] = (i / 50) % 2 ? 0.1f : -0.1f;
    if (!playThrough) return 0;
    if (renders == 0) Noted("heard", selected);
    IPlayerListener* l = listener;
    if (++renders == 2 && l) l->Notify(OrvelEventSongEnded, int(selected));
    return 0;
  }
  int SetListener(IPlayerListener* l) override {
    listener = l;
    Note(l == &PlayerListener ? "SetListener listener" : "SetListener other");
    return 0;
  }

private:
  int Noted(const char* what, uint32_t value) {
    Note(std::string(what) + " " + std::to_string(value));
    return 0;
  }
  int Unexpected(const char* what) {
    Note(std::string("unexpected ") + what);
    return 0;
  }

  std::atomic<TSongHandle> selected{0};
  std::atomic<IPlayerListener*> listener{nullptr};
  std::atomic<int> renders{0};  // of the selected song since it was selected or rewound
};

TRecordingPlayer Player;
bool DispatchCommands = false;

LRESULT CALLBACK TestWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SONG_STARTED) {
    DirectSoundSpy::Note("posted WM_SONG_STARTED", "window");
    return 0;
  }
  if (message == WM_PLAYER_COMMAND) {
    DirectSoundSpy::Note("posted WM_PLAYER_COMMAND " + std::to_string(wParam), "window");
    if (DispatchCommands) OnPlayerCommandMessage(int(wParam), lParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// The log since the last call, without the refills: library calls, buffer starts and stops (those
// of the worker marked), clears, rewinds and the messages that reached the window.
TCalls TakeCalls() {
  PumpMessages();
  TCalls calls;
  for (const TSpyCall& call : DirectSoundSpy::Calls()) {
    std::string line;
    if (call.object == "library" || call.object == "window") {
      line = call.what;
    } else if (call.what == "Play" || call.what == "Stop") {
      line = call.what + " " + call.object;
    } else if (call.what == "Lock" && (call.flags & DSBLOCK_ENTIREBUFFER)) {
      line = "Clear";
    } else if (call.what == "SetVolume") {
      line = call.what + " " + std::to_string(int32_t(call.offset));
    } else if (call.what == "SetCurrentPosition") {
      line = "Rewind buffer";
    } else if (call.what == "CreateSoundBuffer" || call.what == "Release") {
      line = call.what + " " + call.object;
    } else {
      continue;
    }
    if (call.thread != GetCurrentThreadId()) line += " (worker)";
    calls.push_back(line);
  }
  DirectSoundSpy::Reset();
  return calls;
}

// Those of `calls` that begin with `prefix`.
TCalls Starting(const TCalls& calls, const std::string& prefix) {
  TCalls found;
  for (const std::string& call : calls) {
    if (call.rfind(prefix, 0) == 0) found.push_back(call);
  }
  return found;
}

// The calls made while messages are handled for `seconds`, or until `loads` songs have loaded.
TCalls CallsWithin(double seconds, size_t loads = SIZE_MAX) {
  TCalls calls;
  for (const double until = SecondsNow() + seconds;
       SecondsNow() < until && Starting(calls, "LoadSong").size() < loads;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    const TCalls more = TakeCalls();
    calls.insert(calls.end(), more.begin(), more.end());
  }
  return calls;
}

TCalls Join(std::initializer_list<TCalls> parts) {
  TCalls all;
  for (const TCalls& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const TCalls StreamStart = {"Clear", "Rewind buffer", "Play primary", "Play secondary"};
const TCalls StreamStop = {"Stop secondary", "Stop primary"};
const TCalls WorkerStop = {"Stop secondary (worker)", "Stop primary (worker)"};
const TCalls Started = {"posted WM_SONG_STARTED"};

TCalls Open(const std::string& name, int handle) {
  return {"LoadSong " + name, "SelectSong " + std::to_string(handle), "SetPosition 0"};
}

// A song opened and played from a cleared buffer.
TCalls Plays(const std::string& name, int handle) {
  return Join({Open(name, handle), {"SetState 1"}, StreamStart, Started});
}

class TransportTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    DirectSoundSpy::Install();
    InstallOrvelPlayer(&Player);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TestWndProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TransportTestWnd";
    RegisterClassA(&windowClass);
  }

  void SetUp() override {
    window = CreateWindowExA(0, "TransportTestWnd", "transport test", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    DirectSoundSpy::Reset();
    Player.initResult = 0;
    Player.lastHandle = 0;
    Player.playThrough = false;
    DispatchCommands = false;
    SetTransportState(TTransportState::Stopped);
    PlayList = new TPlayList;
  }

  void TearDown() override {
    ShutdownPlayer();
    EXPECT_EQ(nullptr, PlayList);
    PumpMessages();
    DestroyWindow(window);
  }

  // A fresh playlist of `songs`; with `start`, the player started on its first song, the log emptied.
  bool Begin(std::initializer_list<const char*> songs, bool start = true) {
    delete PlayList;
    PlayList = new TPlayList;
    for (const char* name : songs) PlayList->AddSong(name);
    const bool begun = !start || (StartPlayer(window) && OpenSong(PlayList->CurrentSong()));
    TakeCalls();
    return begun;
  }

  // Runs the command and returns what it did and how long it took.
  TCalls Command(int code, double* seconds = nullptr) {
    TakeCalls();
    const double begin = SecondsNow();
    PlayerCommand(code);
    if (seconds) *seconds = SecondsNow() - begin;
    return TakeCalls();
  }

  std::string State() { return PlayingFlag ? (PausedFlag ? "both" : "playing") : (PausedFlag ? "paused" : "stopped"); }

  HWND window = nullptr;
};

TEST_F(TransportTest, StartOpenAndShutdown) {
  ListenerVolume = 80;  // every stream made takes it
  ASSERT_TRUE(StartPlayer(window));
  EXPECT_EQ((TCalls{"Init 4,0,44100,0", "SetListener listener", "CreateSoundBuffer primary",
                    "CreateSoundBuffer secondary", "SetVolume -581"}),
            TakeCalls());

  PlayList->AddSong("one.xm");
  EXPECT_TRUE(OpenSong(PlayList->CurrentSong()));
  EXPECT_EQ(Open("one.xm", 1), TakeCalls());
  EXPECT_FALSE(OpenSong("missing.xm"));
  EXPECT_EQ(TCalls{"LoadSong missing.xm"}, TakeCalls());
  EXPECT_FALSE(OpenSong(nullptr));
  EXPECT_EQ(TCalls{}, TakeCalls());
  EXPECT_EQ("stopped", State());

  ShutdownPlayer();
  EXPECT_EQ((TCalls{"Release notify", "Release secondary", "Stop primary", "Release primary", "Release dsound",
                    "Shutdown"}),
            TakeCalls());
  EXPECT_EQ(nullptr, PlayList);

  // A library that is not ready: no listener, the stream all the same, and false.
  Player.initResult = 1;
  PlayList = new TPlayList;
  EXPECT_FALSE(StartPlayer(window));
  EXPECT_EQ((TCalls{"Init 4,0,44100,0", "CreateSoundBuffer primary", "CreateSoundBuffer secondary", "SetVolume -581"}), TakeCalls());
}

// Every row of the state table, walked in one session over a playlist of three.
TEST_F(TransportTest, EveryStateAndCommand) {
  ASSERT_TRUE(Begin({"a.xm", "b.xm", "c.xm"}));
  double took = 0;

  // Stopped.
  EXPECT_EQ(TCalls{}, Command(cmdStop, &took));
  EXPECT_LT(took, 0.02);
  EXPECT_EQ(Join({{"SetState 1"}, StreamStart, Started}), Command(cmdPlayPause));
  EXPECT_EQ("playing", State());

  // Playing, paused, playing again: the stream stops before the library on a pause, and goes on
  // from where it stood, neither cleared nor rewound.
  EXPECT_EQ(Join({StreamStop, {"SetState 4"}}), Command(cmdPlayPause));
  EXPECT_EQ("paused", State());
  EXPECT_EQ((TCalls{"SetState 1", "Play primary", "Play secondary", "posted WM_SONG_STARTED"}),
            Command(cmdPlayPause));
  EXPECT_EQ("playing", State());

  for (int code : {0, 3, 6, 7, 99, -1}) {
    EXPECT_EQ(TCalls{}, Command(code)) << code;
    EXPECT_EQ("playing", State());
  }

  // Stop from playing, and from paused: the library first, the rewind once the stream stopped,
  // with no sleep between.
  EXPECT_EQ(Join({{"SetState 4"}, StreamStop, {"SetPosition 0"}}), Command(cmdStop, &took));
  EXPECT_LT(took, 0.1);
  EXPECT_EQ("stopped", State());
  Command(cmdPlayPause);
  Command(cmdPlayPause);
  EXPECT_EQ((TCalls{"SetState 4", "SetPosition 0"}), Command(cmdStop, &took));
  EXPECT_LT(took, 0.1);
  EXPECT_EQ("stopped", State());

  // Forward from stopped, from playing (the worker stops the buffers), from paused (no handshake).
  EXPECT_EQ(Join({{"FreeSong 1"}, Plays("b.xm", 2)}), Command(cmdForward));
  Sleep(300);
  EXPECT_EQ(Join({{"SetState 4"}, WorkerStop, {"FreeSong 2"}, Plays("c.xm", 3)}), Command(cmdForward, &took));
  EXPECT_LT(took, 1.1);
  Command(cmdPlayPause);
  EXPECT_EQ(Join({{"FreeSong 3"}, Plays("a.xm", 4)}), Command(cmdForward, &took));
  EXPECT_LT(took, 0.1);
  EXPECT_EQ("playing", State());

  // Rewind from playing (a direct stop), from paused and from stopped; back from the first wraps.
  EXPECT_EQ(Join({{"SetState 4"}, StreamStop, {"SetPosition 0", "FreeSong 4"}, Plays("c.xm", 5)}),
            Command(cmdRewind));
  Command(cmdPlayPause);
  EXPECT_EQ(Join({{"SetState 4", "SetPosition 0", "FreeSong 5"}, Plays("b.xm", 6)}), Command(cmdRewind));
  Command(cmdStop);
  EXPECT_EQ(Join({{"FreeSong 6"}, Plays("a.xm", 7)}), Command(cmdRewind));
  EXPECT_EQ("playing", State());
}

// Presses pass over a song that does not load, both ways. Where no song loads, a step leaves the
// disk stopped, and so does a playlist with no songs.
TEST_F(TransportTest, NothingToLoad) {
  ASSERT_TRUE(Begin({"a.xm", "missing.xm"}));
  EXPECT_EQ(Join({{"FreeSong 1", "LoadSong missing.xm"}, Plays("a.xm", 2)}), Command(cmdForward));
  EXPECT_EQ(Join({{"SetState 4"}, StreamStop, {"SetPosition 0", "FreeSong 2", "LoadSong missing.xm"}, Plays("a.xm", 3)}),
            Command(cmdRewind));

  Begin({"missing.xm"}, false);
  EXPECT_EQ(Join({{"SetState 4"}, StreamStop, {"SetPosition 0", "FreeSong 3", "LoadSong missing.xm"}}),
            Command(cmdRewind));
  EXPECT_EQ("stopped", State());
  Begin({}, false);
  EXPECT_EQ(TCalls{"FreeSong 0"}, Command(cmdForward));
  EXPECT_EQ("stopped", State());
}

// The library's end-of-song event, on the worker, becomes a posted forward that names the song; a
// song that does not load is passed over, and the last song wraps to the first. The listener hears
// song 1, then song 3. No command comes from here after the first play.
TEST_F(TransportTest, EndOfSongPlaysTheNextAndWraps) {
  ASSERT_TRUE(Begin({"a.xm", "missing.xm", "c.xm"}));
  Player.playThrough = true;
  DispatchCommands = true;
  PlayerCommand(cmdPlayPause);

  const TCalls calls = CallsWithin(15, 3);
  EXPECT_EQ((TCalls{"LoadSong missing.xm", "LoadSong c.xm", "LoadSong a.xm"}), Starting(calls, "LoadSong"));
  // Each end twice: told by the library, then by the worker once the song's last frames played.
  const TCalls end = {"posted WM_PLAYER_COMMAND 5", "posted WM_PLAYER_COMMAND 5"};
  EXPECT_EQ(Join({Started, end, Started, end, Started}), Starting(calls, "posted"));
  EXPECT_EQ((TCalls{"heard 1 (worker)", "heard 2 (worker)"}), Starting(calls, "heard"));
  EXPECT_EQ("playing", State());
}

// The library's end names its song, and the change follows once the song's last frames have
// played: until then the song is the one heard, and a press acts on it. An end after the song was
// left, or stopped, moves nothing; one told while paused moves on after the resume.
TEST_F(TransportTest, EndsAndPressesMoveOneSongEach) {
  ASSERT_TRUE(Begin({"a.xm", "b.xm", "c.xm", "d.xm"}));
  DispatchCommands = true;
  PlayerCommand(cmdPlayPause);
  const auto loadsWithin = [](double seconds) {
    TCalls names;
    for (const std::string& call : Starting(CallsWithin(seconds), "LoadSong ")) names.push_back(call.substr(9));
    return names;
  };
  loadsWithin(0.5);

  OnPlayerEvent(OrvelEventSongEnded, 1);
  PumpMessages();
  PlayerCommand(cmdForward);
  EXPECT_EQ(TCalls{"b.xm"}, loadsWithin(1.5)) << "a press in a song's last second";
  OnPlayerEvent(OrvelEventSongEnded, 2);
  EXPECT_EQ(TCalls{}, loadsWithin(0.05)) << "the change waits for the last frames";
  EXPECT_EQ(TCalls{"c.xm"}, loadsWithin(1.5));
  OnPlayerEvent(OrvelEventSongEnded, 3);
  PumpMessages();
  PlayerCommand(cmdRewind);
  EXPECT_EQ(TCalls{"b.xm"}, loadsWithin(1.5)) << "back from the song heard";

  PlayerCommand(cmdPlayPause);
  OnPlayerEvent(OrvelEventSongEnded, 4);
  EXPECT_EQ(TCalls{}, loadsWithin(1.5));
  EXPECT_EQ("paused", State());
  PlayerCommand(cmdPlayPause);
  EXPECT_EQ(TCalls{"c.xm"}, loadsWithin(1.5));
  PlayerCommand(cmdStop);
  OnPlayerEvent(OrvelEventSongEnded, 5);
  EXPECT_EQ(TCalls{}, loadsWithin(0.5));
  EXPECT_EQ("stopped", State());
}

}  // namespace
