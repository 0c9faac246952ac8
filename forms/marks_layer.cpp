// The marks layer of a container (see marks_layer.h).
#include "forms/marks_layer.h"

#include <algorithm>
#include <cstdlib>

namespace forms {

namespace {

constexpr std::uint32_t argb(Rgb c) {
  return 0xFF000000u | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

}  // namespace

void MarksLayer::resize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  release();
}

// A layer without marks holds no pixels: most windows are never shot at before START clears
// them, and a full layer of the window costs a quarter of a megabyte.
void MarksLayer::release() {
  pixels_ = {};
  marked_ = 0;
  ++version_;
}

PixelRect MarksLayer::line(double x1, double y1, double x2, double y2, int penWidth, Rgb color) {
  const int pen = std::max(penWidth, 1);
  const std::uint32_t value = argb(color);
  // The pen is a disc `pen` pixels across around the stamped pixel (between pixels for an even
  // width). A 5-pixel pen gives the classic round dot: a 5x5 square without its four corners.
  const double centre = (pen - 1) / 2.0, radius2 = pen * pen / 4.0;
  const PixelRect bounds{0, 0, width_, height_};
  PixelRect touched;
  bool changed = false;
  if (pixels_.empty())
    pixels_.assign(static_cast<std::size_t>(width_) * height_, 0);

  auto stamp = [&](int cx, int cy) {
    for (int i = 0; i < pen; ++i) {
      for (int j = 0; j < pen; ++j) {
        double dx = i - centre, dy = j - centre;
        if (dx * dx + dy * dy > radius2)
          continue;
        int px = cx + i - pen / 2, py = cy + j - pen / 2;
        if (!bounds.contains(px, py))
          continue;
        std::uint32_t& p = pixels_[static_cast<std::size_t>(py) * width_ + px];
        if (p == 0)
          ++marked_;
        if (p != value)
          changed = true;
        p = value;
        touched = touched.unite({px, py, 1, 1});
      }
    }
  };

  // Bresenham between the rounded ends, stamping the pen at every step.
  int x = roundEven(x1), y = roundEven(y1);
  const int xe = roundEven(x2), ye = roundEven(y2);
  const int dx = std::abs(xe - x), dy = -std::abs(ye - y);
  const int sx = x < xe ? 1 : -1, sy = y < ye ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    stamp(x, y);
    if (x == xe && y == ye)
      break;
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  if (changed)
    ++version_;
  return touched;
}

void MarksLayer::erase(const PixelRect& r) {
  PixelRect area = r.intersect({0, 0, width_, height_});
  if (area.empty() || marked_ == 0)
    return;
  bool changed = false;
  for (int y = area.y; y < area.y + area.h; ++y) {
    for (int x = area.x; x < area.x + area.w; ++x) {
      std::uint32_t& p = pixels_[static_cast<std::size_t>(y) * width_ + x];
      if (p != 0) {
        p = 0;
        --marked_;
        changed = true;
      }
    }
  }
  if (changed)
    ++version_;
}

void MarksLayer::clear() {
  if (marked_ == 0)
    return;
  release();
}

bool MarksLayer::isMarked(int x, int y) const {
  return marked_ > 0 && PixelRect{0, 0, width_, height_}.contains(x, y) &&
         pixels_[static_cast<std::size_t>(y) * width_ + x] != 0;
}

Rgb MarksLayer::at(int x, int y) const {
  if (!isMarked(x, y))
    return {};
  std::uint32_t p = pixels_[static_cast<std::size_t>(y) * width_ + x];
  return {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
          static_cast<std::uint8_t>(p)};
}

}  // namespace forms
