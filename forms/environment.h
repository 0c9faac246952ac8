// What the forms runtime needs from the machine underneath it: the clock, the random source,
// text measurement, and where the window and the screen are. Every host implements it (SDL,
// Win32, the browser, and the headless one of the tests); the runtime and the game never ask the
// platform anything else directly.
#pragma once

#include <string_view>

#include "forms/types.h"

namespace forms {

struct Font {
  int pixelSize = 11;  // 8.25 pt at 96 dpi
  bool bold = false;
  bool italic = false;
  friend bool operator==(const Font&, const Font&) = default;
};

struct TextExtent {
  int width = 0;   // pixels
  int height = 0;  // pixels: the font's line height
};

// The whole window on the screen, frame and title bar included, in screen twips.
struct WindowRect {
  double left = 0, top = 0, width = 0, height = 0;
};

// The screen the window is on.
struct ScreenInfo {
  double widthTwips = 0, heightTwips = 0;
  double twipsPerPixelX = kTwipsPerPixel, twipsPerPixelY = kTwipsPerPixel;
};

class Environment {
 public:
  virtual ~Environment() = default;

  virtual Millis now() const = 0;
  // The game's random source: 0 <= r < 1, never seeded, the same sequence every run.
  virtual float Rnd() = 0;
  virtual TextExtent measureText(const Font& font, std::string_view utf8) const = 0;
  virtual WindowRect windowRect() const = 0;
  virtual ScreenInfo screen() const = 0;
};

// The unseeded random sequence every host hands out: a 24-bit linear congruential generator,
// x <- (x * 1140671485 + 12820163) mod 2^24 from x = 327680, r = x / 2^24.
class RandomSequence {
 public:
  float next();

 private:
  unsigned x_ = 327680;
};

}  // namespace forms
