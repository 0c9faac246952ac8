// Basic values of the forms runtime: twips, milliseconds, colours, rectangles and the rounding
// rule that every coordinate follows when it becomes a whole number.
//
// Positions and sizes are float twips (15 to a pixel at 96 dpi) that read back exactly as they
// were assigned: the target cycle compares them for equality, so they are never snapped to pixels.
#pragma once

#include <cmath>
#include <cstdint>

namespace forms {

using Twips = float;
using Millis = std::int64_t;  // milliseconds on the host's monotonic clock

inline constexpr int kTwipsPerPixel = 15;

// Round to the nearest integer, ties to the even one (2.5 -> 2, 3.5 -> 4), as the game's
// coordinates do when they are stored as whole numbers.
inline std::int32_t roundEven(double v) {
  double r = std::nearbyint(v);  // the default rounding mode is to nearest, ties to even
  return static_cast<std::int32_t>(r);
}

inline int toPixels(double twips) {
  return roundEven(twips / kTwipsPerPixel);
}

// A colour as the game stores it: 0x00BBGGRR, or a system colour index with the top bit set.
struct Color {
  std::uint32_t value = 0;

  static constexpr Color rgb(int r, int g, int b) {
    return Color{static_cast<std::uint32_t>(r | (g << 8) | (b << 16))};
  }
  static constexpr Color system(int index) {
    return Color{0x80000000u | static_cast<std::uint32_t>(index)};
  }
  constexpr bool isSystem() const { return (value & 0x80000000u) != 0; }
  friend constexpr bool operator==(Color, Color) = default;
};

// System colours the layout names, by their index in the desktop scheme.
inline constexpr int kWindowText = 8;
inline constexpr int kButtonText = 18;

// The colour a system colour stands for in the standard desktop scheme (both names above are
// black there); plain colours come back unchanged.
struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend constexpr bool operator==(Rgb, Rgb) = default;
};
Rgb resolve(Color c);

// A rectangle in whole pixels, right and bottom exclusive.
struct PixelRect {
  int x = 0, y = 0, w = 0, h = 0;

  bool empty() const { return w <= 0 || h <= 0; }
  bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  PixelRect intersect(const PixelRect& o) const;
  PixelRect unite(const PixelRect& o) const;  // bounding box; an empty side is ignored
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A straight line between the centres of two pixels, drawn with a pen `width` pixels across:
// `width` one-pixel lines side by side, stacked across the line's run (rows for a line that runs
// mostly along X, columns otherwise), the first penStart() pixels off the line. Every host draws
// exactly these pixels, and the runtime repaints exactly bounds() when the line changes, so a
// hidden frame leaves nothing behind.
struct PixelLine {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int width = 1;

  bool alongX() const { return std::abs(x2 - x1) >= std::abs(y2 - y1); }
  int pen() const { return width > 1 ? width : 1; }
  int penStart() const { return -(pen() - 1) / 2; }
  PixelRect bounds() const;
};

// A box in twips relative to some container, as controls hold it.
struct TwipRect {
  Twips left = 0, top = 0, width = 0, height = 0;
  bool contains(Twips x, Twips y) const {
    return x >= left && y >= top && x < left + width && y < top + height;
  }
  PixelRect toPixels() const;
};

}  // namespace forms
