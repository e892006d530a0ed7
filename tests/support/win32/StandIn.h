// Controls of the native Win32 and DirectSound stand-in: a device that can go away, a looping
// buffer whose play cursor moves with the clock and records what was heard, a message queue with
// timers, and a hook into the calls so that a test can hold a thread at one of them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace StandIn {
// The stand-in's clock (GetTickCount, Sleep, waits, the play cursor) runs this many times faster
// than the wall clock. It is the device's: it falls behind when the device is held up, and stands
// still while a playing buffer waits on a worker that has not had its turn.
const int Speed = 2;
// One heard sample (the left channel) for every 441 frames played: a hundred a second.
const int HeardPerSecond = 100;

// The device goes: every call on what was made on it fails and its cursors stand still; no new
// device can be made until Plug.
void Unplug();
void Plug();
// CreateBuffers' last step fails on the next streams until cleared.
void FailNotifications(bool fail);
// Called at the start of Lock, GetTickCount and the waits with the call's name, on the caller's thread,
// outside every lock of the stand-in.
void SetHook(std::function<void(const char* call)> hook);
std::vector<int16_t> TakeHeard();
int MessageBoxes();
// Runs the window thread's message loop for `ms` of the stand-in's clock: posted messages go to
// `handler`, due timers to their procedures.
void Pump(double ms, const std::function<void(UINT, WPARAM, LPARAM)>& handler);
// Between tests: a device there, no failures, no hook, nothing heard, posted or timed.
void Reset();
}  // namespace StandIn
