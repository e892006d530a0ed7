#include "player/TransportFlags.h"

std::atomic<uint8_t> PlayingFlag{0};
std::atomic<uint8_t> PausedFlag{0};
