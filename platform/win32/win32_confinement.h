// The cursor's confinement on Windows, with ClipCursor. The game asks for a rectangle while a
// game runs; it holds while the window is active, shown and standing still, and no message box
// is up. Otherwise the cursor is free, released with ClipCursor(NULL) and never trapped on the
// primary screen. The rectangle is kept relative to the window and laid over it wherever it
// stands: one left where the window used to be would trap the cursor in an empty patch of
// desktop. When the window is active again (back from another program, restored after a
// minimise) the rectangle is laid at once, and the system brings the pointer onto it from
// wherever it was left. A press on the title bar that a window manager takes for itself (under
// Wine) leaves the window inactive: the first motion over the scene makes it active again.
//
//   win32::Confinement confinement;
//   confinement.attach(window);
//   confinement.want(rect);            // the game's rectangle, screen pixels; nothing: free
//   confinement.follow(gameArea);      // the view changed: the game's window is there now
//   ...in the window procedure:
//   confinement.activated(true);       // WM_ACTIVATE
//   confinement.carried(true);         // WM_ENTERSIZEMOVE (false: WM_EXITSIZEMOVE)
//   confinement.apply();               // WM_WINDOWPOSCHANGED: moved, shown, hidden, minimised
//   confinement.pointerOver();         // WM_MOUSEMOVE
//   confinement.tick();                // WM_TIMER with Confinement::kTimer
//
// While a rectangle is wanted the system's timer ticks every millisecond, so that the target's
// 55 ms steps keep their grid; at STOP it goes back to its default: an idle window never wakes.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/game_services.h"

struct HWND__;

namespace platform::win32 {

class Confinement {
 public:
  static constexpr std::uintptr_t kTimer = 2;  // the WM_TIMER id of the rectangle laid again

  Confinement() = default;
  ~Confinement();  // frees the cursor
  Confinement(const Confinement&) = delete;
  Confinement& operator=(const Confinement&) = delete;

  void attach(HWND__* window) { window_ = window; }
  void want(std::optional<ClipRect> rect);
  void follow(const ClipRect& gameArea);
  void activated(bool active);
  void carried(bool moving);
  void boxShown(bool shown);
  void pointerOver();
  void tick();
  void apply();

 private:
  bool pressedOnWindow() const;

  HWND__* window_ = nullptr;
  std::optional<ClipRect> clip_;  // relative to the window's top-left corner
  bool clipped_ = false;          // whether ClipCursor holds our rectangle
  bool active_ = false;
  bool moving_ = false;       // the player drags the window by its title bar
  bool pressedAway_ = false;  // a press on the window itself took the activation away
  bool boxShown_ = false;
  bool fineTimer_ = false;
  int ticksLeft_ = 0;  // of kTimer
};

}  // namespace platform::win32
