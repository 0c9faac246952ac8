// A layer of shot marks drawn on a container (the window or a picture box).
//
// The game draws one-point lines with a 5-pixel pen: round dots. The layer is a pixel buffer of
// the container's size, transparent where nothing is drawn. Marks are not kept by the window:
// where a control repaints, the runtime erases the layer under the control's box.
#pragma once

#include <cstdint>
#include <vector>

#include "forms/types.h"

namespace forms {

class MarksLayer {
 public:
  MarksLayer() = default;

  void resize(int width, int height);  // clears

  // A line between two points in pixels (fractions allowed), every point of it stamped with a
  // round pen `penWidth` pixels across. Returns the pixels it touched.
  PixelRect line(double x1, double y1, double x2, double y2, int penWidth, Rgb color);
  void erase(const PixelRect& r);
  void clear();

  int width() const { return width_; }
  int height() const { return height_; }
  bool isMarked(int x, int y) const;
  Rgb at(int x, int y) const;
  // 0xAARRGGBB, row by row; alpha 0 where nothing is drawn. Empty while the layer is blank.
  const std::vector<std::uint32_t>& pixels() const { return pixels_; }
  // Grows whenever the pixels change, so a renderer re-uploads only a changed layer.
  std::uint64_t version() const { return version_; }
  bool blank() const { return marked_ == 0; }

 private:
  void release();

  int width_ = 0, height_ = 0;
  std::vector<std::uint32_t> pixels_;
  std::uint64_t version_ = 0;
  long marked_ = 0;
};

}  // namespace forms
