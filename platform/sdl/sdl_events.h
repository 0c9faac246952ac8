// The SDL host's events: waiting for input or the next deadline without a wake-up in between, the
// mouse in the scene's pixels with the game's buttons and modifier keys, the view's keys handed
// to the view, and the window's own events (closing, uncovering, the focus, a move) handed to
// the view and the confinement.
//
//   sdl::Events events(view, confinement, clock);
//   HostEvent next = events.wait(deadline);   // an input for the game, or a Timeout
#pragma once

#include <SDL.h>

#include <optional>

#include "platform/clock.h"
#include "platform/host.h"
#include "platform/sdl/sdl_confinement.h"
#include "platform/sdl/sdl_window.h"

namespace platform::sdl {

class Events {
 public:
  Events(WindowView& view, Confinement& confinement, const Clock& clock)
      : view_(view), confinement_(confinement), clock_(clock) {}

  HostEvent wait(std::optional<forms::Millis> deadline);

 private:
  std::optional<HostEvent> translate(const SDL_Event& e);
  std::optional<HostEvent> button(const SDL_MouseButtonEvent& e);
  std::optional<HostEvent> windowEvent(const SDL_WindowEvent& e);
  std::optional<HostEvent> mouse(forms::MouseInput::Type type, int button, Sint32 x,
                                 Sint32 y) const;

  WindowView& view_;
  Confinement& confinement_;
  const Clock& clock_;
};

}  // namespace platform::sdl
