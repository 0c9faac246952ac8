// The walk through a frame every host's painter shares; see frame_painter.h.
#include "platform/frame_painter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <variant>

#include "forms/word_wrap.h"

namespace platform {

std::vector<std::string> textLines(const forms::DrawTextRun& run,
                                   const std::function<int(std::string_view)>& width, int factor) {
  std::vector<std::string> lines;
  std::string text = run.wrap ? forms::wrapWords(run.text, run.box.w * factor, width) : run.text;
  std::string_view rest = text;
  while (!rest.empty()) {
    std::string_view line = rest.substr(0, rest.find('\n'));
    rest.remove_prefix(std::min(rest.size(), line.size() + 1));
    lines.emplace_back(line);
  }
  return lines;
}

int alignedX(const forms::DrawTextRun& run, int width, int factor) {
  int left = run.box.x * factor, boxWidth = run.box.w * factor;
  if (run.wrap || run.align == forms::Alignment::Left) {
    return left;
  }
  if (run.align == forms::Alignment::Right) {
    return left + boxWidth - width;
  }
  return left + (boxWidth - width) / 2;
}

void FramePainter::paint(const forms::Frame& frame) {
  damage_ = frame.damage.intersect({0, 0, frame.width, frame.height});
  if (damage_.empty() || !begin()) {
    return;
  }
  for (const forms::DrawCommand& command : frame.commands) {
    std::visit([this](const auto& c) { draw(c); }, command);
  }
  end();
}

bool FramePainter::clipTo(const forms::PixelRect& area) {
  forms::PixelRect r = area.intersect(damage_);
  if (r.empty()) {
    return false;
  }
  setClip(r);
  return true;
}

void FramePainter::draw(const forms::FillRect& c) {
  if (clipTo(c.rect)) {
    fill(c.rect, c.color);
  }
}

void FramePainter::draw(const forms::OutlineRect& c) {
  if (!clipTo(c.rect)) {
    return;
  }
  const forms::PixelRect& r = c.rect;
  int t = std::min({c.width, r.w, r.h});
  fill({r.x, r.y, r.w, t}, c.color);
  fill({r.x, r.y + r.h - t, r.w, t}, c.color);
  fill({r.x, r.y, t, r.h}, c.color);
  fill({r.x + r.w - t, r.y, t, r.h}, c.color);
}

// The pen's one-pixel lines lie side by side across the line's run, each filled here pixel for
// pixel, both ends included, so that every host paints the same pixels, the ones the runtime
// repaints when the line changes: a straight line is one rectangle, a slanted one a pixel per
// step along its run (a platform's own line would smooth it, or leave out its last pixel).
void FramePainter::draw(const forms::DrawLine& c) {
  if (!clipTo(c.bounds())) {
    return;
  }
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

}  // namespace platform
