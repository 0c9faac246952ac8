// The host: everything the program needs from the machine, behind one small interface. There is
// one for each platform: SDL (platform/sdl), Win32 (platform/win32) and the browser
// (platform/web); tests use the headless host (platform/headless). Nothing else in the program
// talks to the window system, the sound device or the mouse.
//
// Input and time flow one way: the host delivers them to the program's loop (app/game_loop.h),
// whose turns are the session's (session.h): the form handles them, paints a Frame and the host
// renders it. The game itself sees only the GameServices part. Every host calls the same loop
// back: the page from its events and timeouts, the Windows host from its message loop; the SDL
// host and the tests' headless one are a BlockingHost, which the loop asks for the next input
// in turn.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "forms/draw_list.h"
#include "forms/mouse_input.h"
#include "platform/game_services.h"

namespace platform {

struct WindowSetup {
  std::string title;
  int clientWidth = 0, clientHeight = 0;  // pixels at 96 dpi
  std::span<const std::uint8_t> icon;     // .ico image
  std::span<const std::uint8_t> cursor;   // .cur image; its hotspot is read from the file
};

struct CloseRequest {};  // the close box
struct Exposed {};       // part of the window was uncovered and must be painted again
struct Timeout {};       // the deadline passed with no input

using HostEvent = std::variant<forms::MouseInput, CloseRequest, Exposed, Timeout>;

// A failure with its reason, or success.
struct Status {
  std::string error;
  bool ok() const { return error.empty(); }
};

class Host : public GameServices {
 public:
  // Creates the fixed-size window, not yet shown.
  virtual Status open(const WindowSetup& setup) = 0;
  virtual void show() = 0;
  virtual void render(const forms::Frame& frame) = 0;
};

// A host that the loop asks for the next input (app/game_loop.h).
class BlockingHost : public Host {
 public:
  // Waits for the next input, or until the deadline passes (a Timeout), sleeping meanwhile.
  virtual HostEvent wait(std::optional<forms::Millis> deadline) = 0;
};

// The program's loop as a host calls it back; app/game_loop.cpp has the one there is.
class Loop {
 public:
  virtual ~Loop() = default;
  // A run of the program, the first or a new one: a fresh form, its window, Load and the first
  // frame. False when it cannot start (the reason is printed).
  virtual bool begin() = 0;
  // One input, or the Timeout at the deadline the loop last asked for.
  virtual void deliver(const HostEvent& event) = 0;
  // The pause is over (the page shown again, the message box closed): time goes on.
  virtual void resume() = 0;
  // The whole scene painted again at once, even during a pause.
  virtual void repaint() = 0;
  // The window closes, even during a pause: the page is going.
  virtual void close() = 0;
};

// What the loop tells whoever calls it back, after every turn.
class LoopCaller {
 public:
  virtual ~LoopCaller() = default;
  // Time and input wait: the page is hidden or the message box is open.
  virtual bool paused() const = 0;
  // Calls the loop back with a Timeout at the deadline, in place of any earlier one; with no
  // deadline, only input calls it.
  virtual void wakeAt(std::optional<forms::Millis> deadline) = 0;
  // The form's news after a turn, for a screen reader; the host says only what changed.
  virtual void announce(const std::string& news) = 0;
  // The program has ended with its window; nothing calls the loop until the next run begins.
  virtual void ended() = 0;
};

// A host whose platform calls the program back: the browser, whose page must be returned to, and
// Windows, whose system runs loops of its own (a caption dragged, the window menu) inside which
// only the window's messages reach the program. It never waits for the program's sake.
class CallbackHost : public Host, public LoopCaller {
 public:
  // Keeps the loop, which must live as long as the host, and calls it from the platform's
  // callbacks: the first run begins when the host is ready. The page returns at once and its
  // events run the game from then on; Windows returns once the program has ended.
  virtual void serve(Loop& loop) = 0;
};

}  // namespace platform
