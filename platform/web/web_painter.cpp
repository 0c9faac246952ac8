// Rendering the draw list on the canvas; see web_painter.h.
#include "platform/web/web_painter.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <variant>

#include "forms/word_wrap.h"
#include "platform/web/web_page.h"

namespace platform::web {

namespace {

void fill(const forms::PixelRect& r, forms::Rgb c) {
  vw_fill(r.x, r.y, r.w, r.h, c.r, c.g, c.b);
}

}  // namespace

void Painter::paint(const forms::Frame& frame) {
  damage_ = frame.damage.intersect({0, 0, frame.width, frame.height});
  if (damage_.empty())
    return;
  vw_begin_frame();
  for (const forms::DrawCommand& command : frame.commands)
    std::visit([this](const auto& c) { draw(c); }, command);
  vw_end_frame();
}

forms::TextExtent Painter::measure(const forms::Font& font, std::string_view utf8) {
  vw_font(font.pixelSize, font.bold, font.italic);
  return {vw_measure(utf8.data(), utf8.size()), vw_ascent() + vw_descent()};
}

// Limits drawing to the part of `area` that is damaged; false when nothing of it is.
bool Painter::clipTo(const forms::PixelRect& area) {
  forms::PixelRect r = area.intersect(damage_);
  if (r.empty())
    return false;
  vw_clip(r.x, r.y, r.w, r.h);
  return true;
}

void Painter::draw(const forms::DrawPicture& c) {
  const forms::PictureData* data = c.picture.data();
  if (data != nullptr &&
      clipTo(forms::PixelRect{c.x, c.y, data->width, data->height}.intersect(c.clip)))
    vw_picture(data->bytes.data(), c.x, c.y);
}

void Painter::draw(const forms::FillRect& c) {
  if (clipTo(c.rect))
    fill(c.rect, c.color);
}

void Painter::draw(const forms::OutlineRect& c) {
  if (!clipTo(c.rect))
    return;
  const forms::PixelRect& r = c.rect;
  int t = std::min({c.width, r.w, r.h});
  fill({r.x, r.y, r.w, t}, c.color);
  fill({r.x, r.y + r.h - t, r.w, t}, c.color);
  fill({r.x, r.y, t, r.h}, c.color);
  fill({r.x + r.w - t, r.y, t, r.h}, c.color);
}

// The canvas would smooth a slanted line; the game's lines are whole pixels, the same ones the
// desktop draws: each of the pen's one-pixel lines stepped along its run, one pixel per step.
void Painter::draw(const forms::DrawLine& c) {
  if (!clipTo(c.bounds()))
    return;
  int dx = c.x2 - c.x1, dy = c.y2 - c.y1;
  int steps = std::max(std::abs(dx), std::abs(dy));
  for (int k = 0; k < c.pen(); ++k) {
    int d = c.penStart() + k;
    int ox = c.alongX() ? 0 : d, oy = c.alongX() ? d : 0;
    if (dx == 0 || dy == 0) {
      fill({std::min(c.x1, c.x2) + ox, std::min(c.y1, c.y2) + oy, std::abs(dx) + 1,
            std::abs(dy) + 1},
           c.color);
      continue;
    }
    for (int i = 0; i <= steps; ++i) {
      int x = c.x1 + static_cast<int>(std::lround(static_cast<double>(dx) * i / steps));
      int y = c.y1 + static_cast<int>(std::lround(static_cast<double>(dy) * i / steps));
      fill({x + ox, y + oy, 1, 1}, c.color);
    }
  }
}

void Painter::draw(const forms::DrawTextRun& c) {
  if (c.text.empty() || !clipTo(c.clip))
    return;
  vw_font(c.font.pixelSize, c.font.bold, c.font.italic);
  int ascent = vw_ascent(), lineHeight = ascent + vw_descent();
  auto width = [](std::string_view s) { return vw_measure(s.data(), s.size()); };
  // Wrapped text is always left-aligned; a single line is placed in its box as the label says.
  std::string lines = c.wrap ? forms::wrapWords(c.text, c.box.w, width) : c.text;
  std::string_view rest = lines;
  for (int y = c.box.y + ascent; !rest.empty(); y += lineHeight) {
    std::string_view line = rest.substr(0, rest.find('\n'));
    rest.remove_prefix(std::min(rest.size(), line.size() + 1));
    int x = c.box.x;
    if (!c.wrap && c.align == forms::Alignment::Right)
      x = c.box.x + c.box.w - width(line);
    else if (!c.wrap && c.align == forms::Alignment::Center)
      x = c.box.x + (c.box.w - width(line)) / 2;
    vw_text(line.data(), line.size(), x, y, c.color.r, c.color.g, c.color.b);
  }
}

void Painter::draw(const forms::DrawMarks& c) {
  const forms::MarksLayer* layer = c.layer;
  if (layer == nullptr || layer->blank())
    return;
  int w = layer->width(), h = layer->height();
  if (!clipTo(forms::PixelRect{c.x, c.y, w, h}.intersect(c.clip)))
    return;
  auto [shown, fresh] = marksShown_.try_emplace(layer, layer->version());
  if (fresh || shown->second != layer->version()) {
    // 0xAARRGGBB words become the canvas's R, G, B, A bytes.
    rgba_.resize(layer->pixels().size() * 4);
    std::uint8_t* out = rgba_.data();
    for (std::uint32_t p : layer->pixels()) {
      *out++ = static_cast<std::uint8_t>(p >> 16);
      *out++ = static_cast<std::uint8_t>(p >> 8);
      *out++ = static_cast<std::uint8_t>(p);
      *out++ = static_cast<std::uint8_t>(p >> 24);
    }
    vw_marks_update(layer, rgba_.data(), w, h);
    shown->second = layer->version();
  }
  vw_marks_draw(layer, c.x, c.y);
}

}  // namespace platform::web
