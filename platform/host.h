// The host: everything the program needs from the machine, behind one small interface. There is
// one for each platform: SDL (platform/sdl), Win32 (platform/win32) and the browser
// (platform/web); tests use the headless host (platform/headless). Nothing else in the program
// talks to the window system, the sound device or the mouse.
//
// Input and time flow one way: the host delivers them to the session (session.h), which hands
// them to the form; the form paints a Frame and the host renders it. The game itself sees only
// the GameServices part; the window and the rendering belong to the session. A host that runs
// its own loop (SDL, Win32, headless) is a BlockingHost and also waits for input; the browser
// calls its host back instead, so that one never waits: it is a CallbackHost. Either way the
// program's loop is app/'s (app/game_loop.h).
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

// A host whose program runs the loop itself (app/game_loop.h).
class BlockingHost : public Host {
 public:
  // Waits for the next input, or until the deadline passes (a Timeout), sleeping meanwhile.
  virtual HostEvent wait(std::optional<forms::Millis> deadline) = 0;
};

// A host whose platform calls the program back, and must be returned to (the browser): it never
// waits. The program hands it a Loop and returns; from then on the host calls the loop from its
// platform's callbacks, and the loop asks the host for the next call after every turn.
class CallbackHost : public Host {
 public:
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

  // Keeps the loop, which must live as long as the host, and returns at once; the first run
  // begins when the host is ready (the page's pictures and fonts have loaded).
  virtual void serve(Loop& loop) = 0;

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

}  // namespace platform
