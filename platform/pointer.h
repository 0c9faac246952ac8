// The mouse as the game counts it, the same on every host. Buttons are bits, 1 the left, 2 the
// right and 4 the middle, so that the buttons held during a move add up; Shift, Ctrl and Alt are
// the bits 1, 2 and 4. Over the picture boxes, child windows of their own, the cursor is the
// standard arrow; elsewhere in the window it is the game's gun sight.
//
//   in.button = platform::buttonBits(left, right, middle);
//   in.shift = platform::modifierBits(shift, ctrl, alt);
//   bool arrow = platform::showsArrow(frame.arrowCursorAreas, x, y);
#pragma once

#include <vector>

#include "forms/types.h"

namespace platform {

inline constexpr int kLeftButton = 1, kRightButton = 2, kMiddleButton = 4;

int buttonBits(bool left, bool right, bool middle);
int modifierBits(bool shift, bool ctrl, bool alt);

// Whether the arrow shows at (x, y), in pixels of the scene, rather than the gun sight.
bool showsArrow(const std::vector<forms::PixelRect>& arrowAreas, int x, int y);

}  // namespace platform
