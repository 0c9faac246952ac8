// The host: everything the game needs from the machine, behind one small interface. The SDL host
// (platform/sdl) is the real one; tests use the headless host (platform/headless). Nothing else
// in the program talks to the window system, the sound device or the mouse.
//
// Input and time flow one way: the host delivers them to the form, the form paints a Frame and
// the host renders it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "forms/draw_list.h"
#include "forms/environment.h"
#include "forms/form.h"

namespace platform {

struct WindowSetup {
  std::string title;
  int clientWidth = 304, clientHeight = 213;  // pixels at 96 dpi
  std::span<const std::uint8_t> icon;         // .ico image
  std::span<const std::uint8_t> cursor;       // .cur image; its hotspot is read from the file
};

// A rectangle of screen pixels, right and bottom exclusive.
struct ClipRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const ClipRect&, const ClipRect&) = default;
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

class Host : public forms::Environment {
 public:
  // Creates the fixed-size window, not yet shown.
  virtual Status open(const WindowSetup& setup) = 0;
  virtual void show() = 0;
  // Waits for the next input, or until the deadline passes (a Timeout), sleeping meanwhile.
  virtual HostEvent wait(std::optional<forms::Millis> deadline) = 0;
  virtual void render(const forms::Frame& frame) = 0;

  // Starts playing a WAV image asynchronously on the one sound channel, cutting off whatever
  // plays. The bytes must stay valid until the next call. Any failure is silence.
  virtual void playSound(std::span<const std::uint8_t> wav) = 0;
  // Confines the mouse cursor to a rectangle of the screen, or frees it (nothing).
  virtual void clipCursor(std::optional<ClipRect> rect) = 0;
  // A modal box with one OK button; returns when the player closes it.
  virtual void messageBox(const std::string& title, const std::string& text) = 0;
};

}  // namespace platform
