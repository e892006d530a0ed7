// Makes the program's player calls in the program's order, on a hidden window with a message
// loop, for the recording tests:
//   player_driver [--song FILE]... [COMMAND@SECONDS]...
// The songs come from --song, or else from PlayList.ini in the current directory. COMMAND is play
// or pause (both the play/pause button), stop, next, previous, a number handed to PlayerCommand
// as it is, or quit; SECONDS count from the start of the message loop. Prints, with wall-clock
// milliseconds for lining up a recording:
//   start MS OK | open MS NAME OK | post MS COMMAND | command MS CODE [end] | done MS |
//   started MS INDEX | position MS FRAMES (the library's, each second) | quit MS
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "OrvelPlayer.h"
#include "player/Commands.h"
#include "player/LoadPlayList.h"
#include "player/PlayList.h"
#include "player/Transport.h"
#include "tests/e2e/audio/UnixMs.h"

namespace {

const int QuitCode = -1000;

struct TScripted {
  double seconds;
  int code;
  std::string name;
};

std::vector<TScripted> Script;
size_t NextScripted = 0;
long long LoopStartMs = 0;
long long LastPositionMs = 0;

bool ParseCommand(const char* text, TScripted& out) {
  const char* at = std::strchr(text, '@');
  if (!at) return false;
  out.name.assign(text, at);
  out.seconds = std::atof(at + 1);
  static const struct {
    const char* name;
    int code;
  } named[] = {{"play", cmdPlayPause}, {"pause", cmdPlayPause}, {"stop", cmdStop},
               {"next", cmdForward}, {"previous", cmdRewind}, {"quit", QuitCode}};
  for (const auto& command : named)
    if (out.name == command.name) return out.code = command.code, true;
  char* end = nullptr;
  out.code = int(std::strtol(out.name.c_str(), &end, 10));
  return !out.name.empty() && !*end;
}

void PostDueCommands(HWND window) {
  const double elapsed = double(UnixMs() - LoopStartMs) / 1000.0;
  for (; NextScripted < Script.size() && Script[NextScripted].seconds <= elapsed; ++NextScripted) {
    const TScripted& command = Script[NextScripted];
    std::printf("post %lld %s\n", UnixMs(), command.name.c_str());
    std::fflush(stdout);
    if (command.code == QuitCode) {
      PostQuitMessage(0);
    } else {
      PostMessageA(window, WM_PLAYER_COMMAND, WPARAM(command.code), 0);
    }
  }
}

// As the program's window procedure: cmdInfo goes elsewhere, every other command to transport.
LRESULT CALLBACK DriverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PLAYER_COMMAND:
      std::printf("command %lld %d%s\n", UnixMs(), int(wParam), lParam ? " end" : "");
      std::fflush(stdout);
      if (wParam != cmdInfo) OnPlayerCommandMessage(int(wParam), lParam);
      std::printf("done %lld\n", UnixMs());
      std::fflush(stdout);
      return 0;
    case WM_SONG_STARTED:
      std::printf("started %lld %d\n", UnixMs(), int(PlayList->currentIndex));
      std::fflush(stdout);
      return 0;
    case WM_TIMER:
      PostDueCommands(window);
      if (UnixMs() - LastPositionMs >= 1000) {
        LastPositionMs = UnixMs();
        std::printf("position %lld %d\n", LastPositionMs, int(IOrvelPlayer::GetOrvelPlayer()->GetPosition()));
        std::fflush(stdout);
      }
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND MakeWindow() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DriverWndProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "PlayerDriverWnd";
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, windowClass.lpszClassName, "player driver", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                         windowClass.hInstance, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  PlayList = new TPlayList;
  NoInfoText = new char[NoInfoTextSize]();
  bool songsGiven = false;
  for (int i = 1; i < argc; ++i) {
    TScripted command;
    if (std::strcmp(argv[i], "--song") == 0 && i + 1 < argc) {
      PlayList->AddSong(argv[++i]);
      songsGiven = true;
    } else if (ParseCommand(argv[i], command)) {
      Script.push_back(command);
    } else {
      std::fprintf(stderr, "player_driver: cannot read %s\n", argv[i]);
      return 2;
    }
  }

  const HWND window = MakeWindow();
  const bool started = StartPlayer(window);
  std::printf("start %lld %d\n", UnixMs(), int(started));
  if (!started) return 1;
  if (!songsGiven) LoadPlayList(nullptr);
  const char* first = PlayList->CurrentSong();
  const bool opened = OpenSong(first);
  std::printf("open %lld %s %d\n", UnixMs(), first ? first : "(none)", int(opened));
  std::fflush(stdout);

  LoopStartMs = UnixMs();
  SetTimer(window, 1, 10, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  KillTimer(window, 1);
  ShutdownPlayer();
  std::printf("quit %lld\n", UnixMs());
  DestroyWindow(window);
  delete[] NoInfoText;
  return 0;
}
