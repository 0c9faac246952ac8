// Colours and pixel rectangles of the forms runtime (see types.h).
#include "forms/types.h"

#include <algorithm>
#include <array>

namespace forms {

namespace {

// The classic desktop scheme, by system colour index. The layout names only the window text
// and button text colours; the rest are here so that any index the game might use resolves.
constexpr std::array<Rgb, 25> kStandardScheme{{
    {192, 192, 192},  // 0 scroll bar
    {0, 128, 128},    // 1 desktop
    {0, 0, 128},      // 2 active title
    {128, 128, 128},  // 3 inactive title
    {192, 192, 192},  // 4 menu bar
    {255, 255, 255},  // 5 window background
    {0, 0, 0},        // 6 window frame
    {0, 0, 0},        // 7 menu text
    {0, 0, 0},        // 8 window text
    {255, 255, 255},  // 9 active title text
    {192, 192, 192},  // 10 active border
    {192, 192, 192},  // 11 inactive border
    {128, 128, 128},  // 12 application workspace
    {0, 0, 128},      // 13 highlight
    {255, 255, 255},  // 14 highlight text
    {192, 192, 192},  // 15 button face
    {128, 128, 128},  // 16 button shadow
    {128, 128, 128},  // 17 grey text
    {0, 0, 0},        // 18 button text
    {192, 192, 192},  // 19 inactive title text
    {255, 255, 255},  // 20 button highlight
    {0, 0, 0},        // 21 3D dark shadow
    {192, 192, 192},  // 22 3D light
    {0, 0, 0},        // 23 tooltip text
    {255, 255, 225},  // 24 tooltip background
}};

}  // namespace

Rgb resolve(Color c) {
  if (c.isSystem()) {
    std::uint32_t index = c.value & 0xFFu;
    return index < kStandardScheme.size() ? kStandardScheme[index] : Rgb{};
  }
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
