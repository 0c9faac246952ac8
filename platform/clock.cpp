// The steady clock since the host was made; see clock.h.
#include "platform/clock.h"

namespace platform {

forms::Millis SteadyClock::now() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

}  // namespace platform
