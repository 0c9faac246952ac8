// The cursor kept to the scene while a game runs, for the SDL host. The game asks for its
// window's rectangle on the screen; the cursor then keeps to the scene as it is on the screen
// now, whatever the factor and wherever the window is, windowed or fullscreen (the scene, never
// the black border around it), against every kind of pointer.
//
//   sdl::Confinement confinement(window, view, clock);  // after the window is made
//   confinement.ask(rect);                      // the game's clipCursor: a rectangle or nothing
//   confinement.focus(false);                   // the player went to another program
//   confinement.follow();                       // the window moved, changed size, was shown
//   confinement.pointerAt(x, y);                // every motion of the pointer
//   if (auto at = confinement.retryAt()) ...    // wait no longer than that, then retry()
//
// The rule while a game runs: the cursor is free whenever the window lacks the focus or the
// game's message box shows, and held again the moment the focus comes back, brought onto the
// scene from wherever it was left. When another program holds the pointer just then (the window
// manager still finishing Alt+Tab, an open menu), the cursor stays free and the host tries again
// from its own loop (platform/desktop/retries.h).
//
// An X server lets go of the hold's bounds, though not of the grab, whenever another program
// merely tries to grab the pointer (a hot-key tool, a window manager starting Alt+Tab): the
// pointer then runs off the scene and its first motion there, still reported to the game, has
// the hold taken again, which brings the pointer back.
#pragma once

#include <optional>

#include "forms/environment.h"
#include "platform/clock.h"
#include "platform/desktop/retries.h"
#include "platform/desktop/scale.h"
#include "platform/game_services.h"
#include "platform/sdl/sdl_display.h"

struct SDL_Window;

namespace platform::sdl {

class Confinement {
 public:
  // The view is the host's, read whenever the hold is placed.
  Confinement(SDL_Window* window, const desktop::View& view, const Clock& clock);
  ~Confinement();  // lets go
  Confinement(const Confinement&) = delete;
  Confinement& operator=(const Confinement&) = delete;

  // The game's request: a rectangle of screen pixels to keep the cursor in, or nothing.
  void ask(std::optional<ClipRect> screenRect);
  // Whether a game wants the cursor held, focus or not.
  bool wanted() const { return clip_.has_value(); }
  void focus(bool has);
  void messageBox(bool shown);
  // Places the hold again after the scene moved or changed size, or after SDL may have let go
  // of the pointer on its own (it does when the window gets the focus or is shown again).
  void follow();
  // The pointer has moved to a point of the client area (or out of the window): while the cursor
  // is held, a point off the scene means the hold was broken, and it is taken again.
  void pointerAt(int clientX, int clientY);
  // When the host should call retry(), while another program holds the pointer.
  std::optional<forms::Millis> retryAt() const { return retries_.at(); }
  void retry();

 private:
  void hold();

  SDL_Window* window_;
  const desktop::View& view_;
  const Clock& clock_;
  PointerHold pointer_;
  // What the game asked for, in the scene's pixels: it follows the scene to a new factor or place.
  std::optional<desktop::Rect> clip_;
  bool focusLost_ = false;
  bool boxShown_ = false;
  std::optional<desktop::Rect> held_;  // where the pointer is held now
  desktop::Retries retries_;
};

}  // namespace platform::sdl
