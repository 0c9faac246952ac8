// Colours and pixel rectangles of the forms runtime (see types.h).
#include "forms/types.h"

#include <algorithm>

namespace forms {

// The game names two system colours, the window text and the button text; in the classic
// desktop scheme both are black, as is any other index.
Rgb resolve(Color c) {
  if (c.isSystem())
    return Rgb{0, 0, 0};
  return Rgb{static_cast<std::uint8_t>(c.value & 0xFF), static_cast<std::uint8_t>(c.value >> 8),
             static_cast<std::uint8_t>(c.value >> 16)};
}

PixelRect PixelRect::intersect(const PixelRect& o) const {
  int left = std::max(x, o.x), top = std::max(y, o.y);
  int right = std::min(x + w, o.x + o.w), bottom = std::min(y + h, o.y + o.h);
  if (right <= left || bottom <= top)
    return {};
  return {left, top, right - left, bottom - top};
}

PixelRect PixelRect::unite(const PixelRect& o) const {
  if (o.empty())
    return empty() ? PixelRect{} : *this;
  if (empty())
    return o;
  int left = std::min(x, o.x), top = std::min(y, o.y);
  int right = std::max(x + w, o.x + o.w), bottom = std::max(y + h, o.y + o.h);
  return {left, top, right - left, bottom - top};
}

PixelRect PixelLine::bounds() const {
  const int across0 = penStart(), across1 = penStart() + pen() - 1;
  const int dx0 = alongX() ? 0 : across0, dx1 = alongX() ? 0 : across1;
  const int dy0 = alongX() ? across0 : 0, dy1 = alongX() ? across1 : 0;
  const int left = std::min(x1, x2) + dx0, right = std::max(x1, x2) + dx1;
  const int top = std::min(y1, y2) + dy0, bottom = std::max(y1, y2) + dy1;
  return {left, top, right - left + 1, bottom - top + 1};
}

// Both edges are rounded, so boxes that touch in twips touch in pixels too.
PixelRect TwipRect::toPixels() const {
  int x1 = forms::toPixels(left), y1 = forms::toPixels(top);
  int x2 = forms::toPixels(static_cast<double>(left) + width);
  int y2 = forms::toPixels(static_cast<double>(top) + height);
  return {x1, y1, x2 - x1, y2 - y1};
}

}  // namespace forms
