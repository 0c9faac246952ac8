// Looking at and poking a real X display from outside a program, for the SDL host's tests, the
// end-to-end tests and the benchmarks: find a window, read its pixels, read the pointer, ask the
// window to close, and drive the mouse with xdotool (real input events through the server).
// Tests that need a desktop at another scale start an X server of their own (ScaledXServer).
//
//   support::XProbe x;                       // connects to $DISPLAY
//   if (!x.connected()) fail(x.error());
//   auto win = x.findWindow(pid, "Vombrel !!!!", std::chrono::seconds(10));
//   support::Image shot = x.capture(*win);   // the client area, pixel (0, 0) at its top-left
//   support::xdotool({"mousemove", "100", "200", "click", "1"});
//
// Xlib stays inside x11_probe.cpp: its macros (None, Status, True) clash with everything else.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

struct _XDisplay;  // Xlib's Display

namespace support {

using WindowId = unsigned long;

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Point {
  int x = 0, y = 0;
};

// A rectangle of pixels, both corners included.
struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct Image {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  // row by row from the top-left

  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // How many pixels inside the box (clipped to the image) the predicate picks.
  template <class Pred>
  int count(const Box& box, Pred pred) const {
    int n = 0;
    for (int y = box.top; y <= box.bottom && y < height; ++y) {
      for (int x = box.left; x <= box.right && x < width; ++x) {
        n += pred(at(x, y)) ? 1 : 0;
      }
    }
    return n;
  }
  // Writes the image as a PNG (through ImageMagick's convert); an empty string on success,
  // otherwise the reason.
  std::string savePng(const std::string& path) const;
};

class XProbe {
 public:
  XProbe();
  ~XProbe();
  XProbe(const XProbe&) = delete;
  XProbe& operator=(const XProbe&) = delete;

  bool connected() const { return display_ != nullptr; }
  const std::string& error() const { return error_; }

  // The viewable top-level window of the process with exactly this title, looked for until it
  // shows or the timeout passes.
  std::optional<WindowId> findWindow(pid_t pid, const std::string& title,
                                     std::chrono::milliseconds timeout);
  // The client area's size, and the screen position of its top-left pixel.
  Point size(WindowId window);
  Point origin(WindowId window);
  // The client area's pixels; an empty image when the window is gone.
  Image capture(WindowId window);
  // Whether the window has the keyboard focus.
  bool hasFocus(WindowId window);
  // Waits up to ten seconds for the window to get the focus, and a moment more: SDL drops a
  // click that comes within a few milliseconds of the window getting it.
  void waitUntilItTakesClicks(WindowId window);
  // Starts the game into `game` and waits for its window to show and take clicks: the window,
  // or nothing when none showed within 20 s (then the game's output file says why).
  std::optional<WindowId> startGame(std::unique_ptr<ChildProcess>& game, const std::string& path,
                                    const ChildOptions& options);
  // Where the pointer is on the screen.
  Point pointer();
  // Sends the window the close request that a window manager's close box sends
  // (WM_DELETE_WINDOW); false when the window does not take it.
  bool requestClose(WindowId window);
  // Gives the keyboard focus to the window, as a window manager does when the player picks it;
  // the root window takes it from every program.
  void focus(WindowId window);
  WindowId root();
  // Holds the pointer as another program would (a menu, a screenshot tool): false when some
  // other client holds it already.
  bool grabPointer();
  void ungrabPointer();
  // Moves the pointer as another program may, wherever it is held.
  void warpPointer(Point to);
  // A plain window of this probe's own, another program's window to give the focus to.
  WindowId openWindow();
  // The window with the frame a window manager drew around it, on the screen; the window itself
  // where no window manager runs.
  Box frame(WindowId window);
  // Whether a window manager runs on the display.
  bool windowManaged();

 private:
  _XDisplay* display_ = nullptr;
  std::string error_;
};

// Runs xdotool with the arguments; true when it succeeds.
bool xdotool(const std::vector<std::string>& args);

// An X server of one's own: Xvfb with a screen of the given size (1024 x 768 unless said) at the
// dpi, which it also publishes as the Xft.dpi resource, as a desktop scaled to it does (or
// publishes xftDpi there, whatever it says, when that is given). With a `windowManager`
// ("openbox", "kwin_x11", "mutter" in its X11 mode or "fluxbox"), that one runs on it, framing and
// focusing the windows as on a player's desktop. It takes a free display number; point $DISPLAY
// at display() to use it. Ended with the object.
class ScaledXServer {
 public:
  explicit ScaledXServer(int dpi, const std::string& xftDpi = "", Point screen = {1024, 768},
                         const std::string& windowManager = "");
  ~ScaledXServer();
  ScaledXServer(const ScaledXServer&) = delete;
  ScaledXServer& operator=(const ScaledXServer&) = delete;

  const std::string& display() const { return display_; }  // ":N"
  const std::string& error() const { return error_; }      // why it is not there

 private:
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<TempFile> settings_;           // the window manager's, where it needs some
  std::unique_ptr<ChildProcess> windowManager_;  // goes before the server
  std::string display_;
  std::string error_;
};

}  // namespace support
