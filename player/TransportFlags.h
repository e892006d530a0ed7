// The transport's state as the play/pause button shows it: at most one is set, stopped (neither),
// playing, paused. Written on the window thread, read by the worker's refills and by the button.
#pragma once
#include <atomic>
#include <cstdint>

extern std::atomic<uint8_t> PlayingFlag;
extern std::atomic<uint8_t> PausedFlag;

enum class TTransportState { Stopped, Playing, Paused };
// The flag that goes down does so before the other goes up, so no reader ever sees both.
void SetTransportState(TTransportState state);

// The stereo width the listener chose, in percent (100, 50 or 0): it narrows every song on top of
// its own width. Written on the window thread, read by each refill.
extern std::atomic<uint8_t> ListenerWidth;
// 100 -> 50 -> 0 -> 100; gives the new width.
uint8_t CycleListenerWidth();

// The listener's volume in percent, 0 to 100: the sound buffer's own, on top of everything
// rendered. The window thread's alone.
extern std::atomic<uint8_t> ListenerVolume;
