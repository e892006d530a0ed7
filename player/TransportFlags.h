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
