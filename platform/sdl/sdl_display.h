// What the host asks of the window system itself, past SDL: the dots per inch the desktop draws
// with; on X the pointer grab that confines the cursor and the frame asked for before the
// window shows; on Wayland the window's fixed size and the cursors' files.
//
// The dpi is the desktop's logical setting, not the monitor's physical density: at the standard
// 96 dpi a twip is exactly 1/15 pixel whatever the monitor measures. It decides whether the
// window is scaled up, and so how many twips of the game a screen pixel holds.
//
// The grab is taken here rather than through SDL_SetWindowGrab because SDL's X code, when another
// program holds the pointer, tries again 100 times 50 ms apart, so the game would stand still for
// five seconds, and after that SDL never grabs again. Here a refused grab is an answer at once.
// SDL's grab also keeps the pointer to the whole window, where a fullscreen scene is only its
// middle, and its mouse rectangle on X stops only relative motion.
#pragma once

#include <optional>

#include "platform/desktop/scale.h"

struct SDL_Window;

namespace platform::sdl {

// SDL wakes its own waiting loop with a message to the window, sent over a second connection to
// the X server. The one that comes with the close request may reach the server only after the
// window is gone, and the error would end a program that closes cleanly with a failure (one
// close in about thirty on a busy machine). Called before SDL's video starts, so that SDL, which
// puts back the error handler it found when it shuts down, puts back this one.
void forgiveLateWakeUps();

struct Dpi {
  double x = 96, y = 96;
};

Dpi desktopDpi(SDL_Window* window);

// Whether a window manager runs that can make a window fullscreen. Without one (a bare X server)
// SDL's fullscreen only pretends: the window keeps its size while SDL reports the screen's.
bool windowManagerCanFullscreen(SDL_Window* window);

// What the window manager will draw around the window, asked of it before the window is shown
// (EWMH's _NET_REQUEST_FRAME_EXTENTS), so that the window's first size already leaves room for
// its title bar; nothing where the window manager does not know the request (kwin), or off X.
std::optional<desktop::Frame> askFrame(SDL_Window* window);
// The frame once the window manager has put it around a window just shown, waiting a moment
// for it; nothing where there is none, or off X.
std::optional<desktop::Frame> awaitFrame(SDL_Window* window);

// Where the window's client area is on the screen, as the window system has it now. SDL's own
// figure lags behind a window manager's moves, and after fullscreen can stay wrong.
void windowOrigin(SDL_Window* window, int* x, int* y);

// Tells the compositor the window's size is fixed, the least size being the most, from the
// window's next picture on: tiling compositors then float it and none offers to maximise it. SDL
// (or libdecor) says so itself for a window that is not resizable; for a Wayland window that is
// resizable to SDL, this does it once the window has been shown.
void fixSize(SDL_Window* window, desktop::Size size);

// Whether SDL draws the window's title bar itself (libdecor), as on Wayland desktops whose
// compositor leaves it to programs (GNOME's, weston); KDE's and sway draw it themselves.
bool titleBarDrawnBySdl();

// SDL's Wayland driver shares each cursor's pixels with the compositor through a file it makes in
// XDG_RUNTIME_DIR and never deletes: a file for every cursor made, kept in that memory-backed
// folder until the player logs out. This deletes this program's, which it still maps, as the
// compositor does: the pixels stay where both see them. Called after each cursor is made.
void forgetCursorFiles();

enum class PointerGrab {
  Taken,    // the pointer is held inside the area
  Refused,  // another program holds the pointer, or the window is not on the screen
  NotOnX,   // this window system has no such grab: SDL's own is the way
};

// Holds the pointer inside an area of one window's client area, reporting its motion and buttons
// to that window alone. A pointer that is elsewhere is brought to the area's nearest edge, and
// no device moves it out: a mouse, a tablet or touch screen that sets the pointer's place, a
// warp by another program. The area lies under an input-only window of its own, the shape the X
// server keeps the pointer in; it takes no input itself, so the events still come to the window.
class PointerHold {
 public:
  explicit PointerHold(SDL_Window* window) : window_(window) {}
  ~PointerHold() { release(); }
  PointerHold(const PointerHold&) = delete;
  PointerHold& operator=(const PointerHold&) = delete;

  // Takes the pointer, or moves the hold to a new area when this program has it already.
  PointerGrab take(desktop::Rect area);
  // Lets go of the pointer if this program holds it.
  void release();

 private:
  SDL_Window* window_;
  unsigned long fence_ = 0;    // the X window over the area, made at the first hold
  bool entriesMuted_ = false;  // the window hears of no pointer entering it while held
};

}  // namespace platform::sdl
