// Renders the runtime's draw list on the page's 2D canvas, repainting only the frame's damage:
// every command is drawn cut to its own clip and the damaged rectangle, so the rest of the canvas
// keeps what it showed. Pictures are drawn from the bitmaps the page decoded at start, text in
// the embedded Vombrel Sans, marks layers from canvases updated only when their pixels change.
//
//   web::Painter painter;
//   painter.paint(frame);
//   forms::TextExtent e = painter.measure(font, "Body:");
#pragma once

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "forms/draw_list.h"

namespace platform::web {

class Painter {
 public:
  void paint(const forms::Frame& frame);
  forms::TextExtent measure(const forms::Font& font, std::string_view utf8);

 private:
  bool clipTo(const forms::PixelRect& area);
  void draw(const forms::DrawPicture& c);
  void draw(const forms::FillRect& c);
  void draw(const forms::OutlineRect& c);
  void draw(const forms::DrawLine& c);
  void draw(const forms::DrawTextRun& c);
  void draw(const forms::DrawMarks& c);

  forms::PixelRect damage_;
  std::map<const forms::MarksLayer*, std::uint64_t> marksShown_;  // the version on the page
  std::vector<std::uint8_t> rgba_;
};

}  // namespace platform::web
