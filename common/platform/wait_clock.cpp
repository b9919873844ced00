// The clock of the waits, the same on every system; a test double of the platform keeps its own.
#include "platform.h"

namespace osa {

WaitClock::time_point wait_clock_now() { return WaitClock::now(); }

}  // namespace osa
