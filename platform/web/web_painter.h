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
#include "platform/frame_painter.h"

namespace platform::web {

class Painter final : public FramePainter {
 public:
  forms::TextExtent measure(const forms::Font& font, std::string_view utf8);

 private:
  void setClip(const forms::PixelRect& r) override;
  void fill(const forms::PixelRect& r, forms::Rgb color) override;
  void draw(const forms::DrawPicture& c) override;
  void draw(const forms::DrawTextRun& c) override;
  void draw(const forms::DrawMarks& c) override;
  // A frame is drawn between a save and a restore of the canvas's state, which clips.
  bool begin() override;
  void end() override;

  std::map<const forms::MarksLayer*, std::uint64_t> marksShown_;  // the version on the page
  std::vector<std::uint8_t> rgba_;
};

}  // namespace platform::web
