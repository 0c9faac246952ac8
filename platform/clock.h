// The game's clock on a desktop: milliseconds since the host was made, from the steady clock, so
// that changing the system's time or date never moves the game's timers.
//
//   platform::Clock clock;
//   forms::Millis now = clock.now();
#pragma once

#include <chrono>

#include "forms/environment.h"

namespace platform {

class Clock {
 public:
  forms::Millis now() const;

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace platform
