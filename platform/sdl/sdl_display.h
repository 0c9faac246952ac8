// The dots per inch the desktop draws with on the window's screen: what decides whether the
// window is scaled up, and so how many twips of the game a screen pixel holds.
//
// This is the desktop's logical setting, not the monitor's physical density: at the standard
// 96 dpi a twip is exactly 1/15 pixel whatever the monitor measures.
#pragma once

struct SDL_Window;

namespace platform::sdl {

struct Dpi {
  double x = 96, y = 96;
};

Dpi desktopDpi(SDL_Window* window);

}  // namespace platform::sdl
