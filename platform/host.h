// The host: everything the program needs from the machine, behind one small interface. There is
// one for each platform: SDL (platform/sdl), Win32 (platform/win32) and the browser
// (platform/web); tests use the headless host (platform/headless). Nothing else in the program
// talks to the window system, the sound device or the mouse.
//
// Input and time flow one way: the host delivers them to the session (session.h), which hands
// them to the form; the form paints a Frame and the host renders it. The game itself sees only
// the GameServices part; the window and the rendering belong to the session. A host that runs
// its own loop (SDL, Win32, headless) is a BlockingHost and also waits for input; the browser
// calls its host back instead, so that one never waits.
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

}  // namespace platform
