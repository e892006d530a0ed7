// The program's side of the library's events: hands them to a plain callback.
#pragma once
#include "OrvelPlayer.h"

typedef void (*TPlayerEventProc)(int event, int param);

class TPlayerListener : public IPlayerListener {
 public:
  constexpr TPlayerListener() : callback(nullptr) {}
  ~TPlayerListener() override {}

  void SetCallback(TPlayerEventProc proc) { callback = proc; }
  void Notify(int event, int param) override;

 private:
  TPlayerEventProc callback;
};

// The transport's one listener. Built before any code runs (its constructor is constant) and
// destroyed at process exit.
extern TPlayerListener PlayerListener;
