// The mouse as the game counts it; see pointer.h.
#include "platform/pointer.h"

#include <algorithm>

namespace platform {

int buttonBits(bool left, bool right, bool middle) {
  return (left ? kLeftButton : 0) | (right ? kRightButton : 0) | (middle ? kMiddleButton : 0);
}

int modifierBits(bool shift, bool ctrl, bool alt) {
  return (shift ? 1 : 0) | (ctrl ? 2 : 0) | (alt ? 4 : 0);
}

bool showsArrow(const std::vector<forms::PixelRect>& arrowAreas, int x, int y) {
  return std::any_of(arrowAreas.begin(), arrowAreas.end(),
                     [&](const forms::PixelRect& r) { return r.contains(x, y); });
}

}  // namespace platform
