// Links into musicdisk_first_present: the program reports its start-up time at its first
// Present and ends there.
#include "app/StartupHooks.h"
#include "bench/app/StartUpTime.h"

namespace {
const bool Installed = (OnFirstPresent = [] { return ReportStartUpTime() == 0; }, true);
}
