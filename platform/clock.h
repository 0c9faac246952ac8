// The game's clock, as a host reads it: milliseconds that only go forward. The desktop hosts
// read the steady clock, so that changing the system's time or date never moves the game's
// timers; tests set a manual one to the millisecond, so that a rule about time is checked
// without waiting for it.
//
//   platform::SteadyClock clock;            // 0 when made
//   forms::Millis now = clock.now();
//
//   platform::ManualClock test;             // 0 until the test moves it
//   test.advance(50);
#pragma once

#include <chrono>

#include "forms/environment.h"

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual forms::Millis now() const = 0;
};

class SteadyClock final : public Clock {
 public:
  forms::Millis now() const override;

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

class ManualClock final : public Clock {
 public:
  forms::Millis now() const override { return now_; }
  void set(forms::Millis now) { now_ = now; }
  void advance(forms::Millis by) { now_ += by; }

 private:
  forms::Millis now_ = 0;
};

}  // namespace platform
