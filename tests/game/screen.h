// The window's pixels as the player sees them, for random play: every frame the program renders
// is painted as the real window paints it, only where the frame says something changed, and the
// pixels so built up can be held against the whole scene painted afresh.
//
//   std::unique_ptr<Screen> screen = makeScreen();   // null where no painter is built
//   host renders a frame:  screen->render(frame);
//   after a step:          if (std::string d = screen->differs(form.paint()); !d.empty()) ...
//
// The SDL host's painter draws it, where that host is built (tests/sdl/painted_screen.cpp); the
// core alone has no painter and links tests/game/no_screen.cpp instead.
#pragma once

#include <memory>
#include <string>

#include "forms/draw_list.h"

class Screen {
 public:
  virtual ~Screen() = default;
  // Paints the frame's damage over what the screen shows, as the window does.
  virtual void render(const forms::Frame& frame) = 0;
  // Another window lay over the game's and moved away: what the window showed is lost until
  // the program paints it again.
  virtual void uncover() = 0;
  // Empty when the screen shows exactly `whole` painted from scratch over the whole client area;
  // else where and how the two differ.
  virtual std::string differs(const forms::Frame& whole) = 0;
};

std::unique_ptr<Screen> makeScreen(int width, int height);
