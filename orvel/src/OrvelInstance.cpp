#include "OrvelCore.h"

IOrvelPlayer* IOrvelPlayer::GetOrvelPlayer() {
  static TOrvelPlayer player;
  return &player;
}
