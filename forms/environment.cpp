// The game's random source (see environment.h).
#include "forms/environment.h"

namespace forms {

float RandomSequence::next() {
  // Unsigned arithmetic wraps mod 2^32, and 2^24 divides that, so masking gives the exact step.
  x_ = (x_ * 1140671485u + 12820163u) & 0xFFFFFFu;
  return static_cast<float>(x_) / 16777216.0f;  // exact: x_ has at most 24 bits
}

}  // namespace forms
