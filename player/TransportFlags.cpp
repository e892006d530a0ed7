#include "player/TransportFlags.h"

std::atomic<uint8_t> PlayingFlag{0};
std::atomic<uint8_t> PausedFlag{0};

void SetTransportState(TTransportState state) {
  if (state != TTransportState::Playing) PlayingFlag = 0;
  if (state != TTransportState::Paused) PausedFlag = 0;
  if (state == TTransportState::Playing) PlayingFlag = 1;
  if (state == TTransportState::Paused) PausedFlag = 1;
}
