// The desktop's dots per inch; see sdl_display.h. Kept apart from the rest of the host because
// it needs Xlib, whose macros (Status, None, Bool) clash with ordinary names.
#include "platform/sdl/sdl_display.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace platform::sdl {

Dpi desktopDpi(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11) {
    // X desktops publish their scale as the Xft.dpi resource (192 at 200 %); SDL's figure on X
    // is the monitor's physical density, which would make a 93-dpi monitor's twips crooked.
    const char* xft = XGetDefault(info.info.x11.display, "Xft", "dpi");
    double dpi = xft != nullptr ? std::round(std::atof(xft)) : 0;
    return dpi > 0 ? Dpi{dpi, dpi} : Dpi{};
  }
#endif
  // Elsewhere (Windows, Wayland) SDL reports the desktop's setting; window systems work in
  // whole dots per inch.
  float diagonal = 0, h = 0, v = 0;
  int display = std::max(0, SDL_GetWindowDisplayIndex(window));
  if (SDL_GetDisplayDPI(display, &diagonal, &h, &v) != 0 || h <= 0 || v <= 0) {
    return {};
  }
  return {std::round(h), std::round(v)};
}

}  // namespace platform::sdl
