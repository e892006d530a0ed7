#include "PlayerListener.h"

void TPlayerListener::Notify(int event, int param) {
  if (callback) callback(event, param);
}
