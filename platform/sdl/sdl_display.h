// What the host asks of the window system itself, past SDL: the dots per inch the desktop draws
// with, and on X the pointer grab that confines the cursor.
//
// The dpi is the desktop's logical setting, not the monitor's physical density: at the standard
// 96 dpi a twip is exactly 1/15 pixel whatever the monitor measures. It decides whether the
// window is scaled up, and so how many twips of the game a screen pixel holds.
//
// The grab is taken here rather than through SDL_SetWindowGrab because SDL's X code, when another
// program holds the pointer, tries again 100 times 50 ms apart, so the game would stand still for
// five seconds, and after that SDL never grabs again. Here a refused grab is an answer at once.
#pragma once

struct SDL_Window;

namespace platform::sdl {

struct Dpi {
  double x = 96, y = 96;
};

Dpi desktopDpi(SDL_Window* window);

// Whether a window manager runs that can make a window fullscreen. Without one (a bare X server)
// SDL's fullscreen only pretends: the window keeps its size while SDL reports the screen's.
bool windowManagerCanFullscreen(SDL_Window* window);

enum class PointerGrab {
  Taken,    // the pointer is held inside the window
  Refused,  // another program holds the pointer, or the window is not on the screen
  NotOnX,   // this window system has no such grab: SDL's own is the way
};

// Holds the pointer inside the window, reporting its motion and buttons to the window alone.
PointerGrab grabPointer(SDL_Window* window);
// Lets go of the pointer if this program holds it.
void releasePointer(SDL_Window* window);

}  // namespace platform::sdl
