// The transport's flags, owned here by the tests that the play/pause button reads them for.
#include "player/Transport.h"

std::atomic<uint8_t> PlayingFlag{0};
std::atomic<uint8_t> PausedFlag{0};
