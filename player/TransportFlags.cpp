#include "player/TransportFlags.h"

std::atomic<uint8_t> PlayingFlag{0};
std::atomic<uint8_t> PausedFlag{0};

void SetTransportState(TTransportState state) {
  if (state != TTransportState::Playing) PlayingFlag = 0;
  if (state != TTransportState::Paused) PausedFlag = 0;
  if (state == TTransportState::Playing) PlayingFlag = 1;
  if (state == TTransportState::Paused) PausedFlag = 1;
}

std::atomic<uint8_t> ListenerWidth{100};

uint8_t CycleListenerWidth() {
  const uint8_t next = ListenerWidth == 100 ? 50 : ListenerWidth == 50 ? 0 : 100;
  ListenerWidth = next;
  return next;
}

std::atomic<uint8_t> ListenerVolume{100};
