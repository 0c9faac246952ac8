// What the game asks of the machine beyond the forms runtime's clock, random source, text and
// screen: play a sound, confine the cursor, show a message box. Form1, the sound module Zvuk and
// the cursor module My hold this and nothing wider, so no handler can open a window or wait for
// input; only the loop sees the rest of the host (host.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "forms/environment.h"

namespace platform {

// A rectangle of screen pixels, right and bottom exclusive.
struct ClipRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const ClipRect&, const ClipRect&) = default;
};

class GameServices : public forms::Environment {
 public:
  // Starts playing a WAV image asynchronously on the one sound channel, cutting off whatever
  // plays. The host keeps its own copy of what it still has to play: the caller's bytes may go
  // as soon as the call returns (a host that plays in the background, as every real one does,
  // must not read them later). Any failure is silence.
  virtual void playSound(std::span<const std::uint8_t> wav) = 0;
  // Confines the mouse cursor to a rectangle of the screen, or frees it (nothing).
  virtual void clipCursor(std::optional<ClipRect> rect) = 0;
  // A modal box with one OK button. The desktop hosts (SDL, Win32) free the cursor to reach it and
  // return when the player closes it, so the game waits inside the handler that asked. The
  // page cannot block: its box opens and the call returns at once; the handler runs to its end,
  // then the game's time and input wait until the box is closed. The headless host only notes
  // the box and returns.
  virtual void messageBox(const std::string& title, const std::string& text) = 0;
};

}  // namespace platform
