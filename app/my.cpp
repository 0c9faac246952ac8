// Cursor confinement. See my.h.
#include "app/my.h"

#include "app/form1.h"
#include "forms/types.h"

namespace My {

// The window's twips were measured at the screen's twips per pixel, so only that same figure
// turns them back into its pixels. Rounding it to a whole number first, as the confinement once
// did, is harmless at 15 or 12 but at 7.5 (a desktop at 192 dpi) divides by 8: the rectangle
// shrinks and slides towards the screen's corner, and the window's right and bottom part falls
// out of the pointer's reach.
platform::ClipRect windowClip(const forms::WindowRect& window, const forms::ScreenInfo& screen) {
  const double tx = screen.twipsPerPixelX;
  const double ty = screen.twipsPerPixelY;
  platform::ClipRect r;
  r.left = forms::roundEven(window.left / tx);
  r.top = forms::roundEven(window.top / ty);
  r.right = forms::roundEven(window.width / tx + r.left);
  r.bottom = forms::roundEven(window.height / ty + r.top);
  return r;
}

void ConfineCursor(Form1& window) {
  forms::WindowRect frame{window.Left(), window.Top(), window.Width(), window.Height()};
  window.services().clipCursor(windowClip(frame, window.Screen()));
}

// Releasing does not clip to the primary screen's rectangle, which would keep the mouse off
// every other screen of a multi-screen desk: it frees the cursor altogether.
void ReleaseCursor(Form1& window) {
  window.services().clipCursor(std::nullopt);
}

}  // namespace My
