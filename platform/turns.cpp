// The loop's turns and a host's sleep; see turns.h.
#include "platform/turns.h"

#include <algorithm>

namespace platform {

std::optional<forms::Millis> sleepUntil(std::optional<forms::Millis> deadline, forms::Millis now) {
  if (!deadline) {
    return std::nullopt;
  }
  return std::clamp<forms::Millis>(*deadline - now, 0, kLongestSleep);
}

std::optional<forms::Millis> earliest(std::optional<forms::Millis> a,
                                      std::optional<forms::Millis> b) {
  if (a && b) {
    return std::min(*a, *b);
  }
  return a ? a : b;
}

Turns::Next Turns::next() const {
  if (paused_) {
    return {};
  }
  std::optional<forms::Millis> left = sleepUntil(deadline_, clock_.now());
  return {left == forms::Millis{0}, left};
}

}  // namespace platform
