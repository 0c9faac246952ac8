// Rendering the draw list on the canvas; see web_painter.h.
#include "platform/web/web_painter.h"

#include <string>

#include "platform/web/web_page.h"

namespace platform::web {

bool Painter::begin() {
  vw_begin_frame();
  return true;
}

void Painter::end() {
  vw_end_frame();
}

forms::TextExtent Painter::measure(const forms::Font& font, std::string_view utf8) {
  vw_font(font.pixelSize, font.bold, font.italic);
  return {vw_measure(utf8.data(), utf8.size(), 1), vw_ascent() + vw_descent()};
}

void Painter::setClip(const forms::PixelRect& r) {
  vw_clip(r.x, r.y, r.w, r.h);
}

void Painter::fill(const forms::PixelRect& r, forms::Rgb c) {
  vw_fill(r.x, r.y, r.w, r.h, c.r, c.g, c.b);
}

void Painter::draw(const forms::DrawPicture& c) {
  const forms::PictureData* data = c.picture.data();
  if (data != nullptr &&
      clipTo(forms::PixelRect{c.x, c.y, data->width, data->height}.intersect(c.clip)))
    vw_picture(data->bytes.data(), c.x, c.y);
}

// Text is set at the canvas's own pixels, not drawn at the game's size and scaled up: an engine
// that hints small letters (WebKit) would spread an 11-px label a tenth wider than the others
// do. Lines break, sit and are aligned where the game's own measures put them, the same in
// every engine.
void Painter::draw(const forms::DrawTextRun& c) {
  if (c.text.empty() || !clipTo(c.clip))
    return;
  vw_font(c.font.pixelSize, c.font.bold, c.font.italic);
  int k = vw_factor(), ascent = vw_ascent(), lineHeight = ascent + vw_descent();
  auto width = [](std::string_view s, int factor) {
    return vw_measure(s.data(), s.size(), factor);
  };
  int y = c.box.y + ascent;  // the canvas places text by its baseline
  for (const std::string& line : textLines(c, [&](std::string_view s) { return width(s, 1); })) {
    vw_text(line.data(), line.size(), alignedX(c, width(line, k), k), y * k, c.color.r, c.color.g,
            c.color.b);
    y += lineHeight;
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
