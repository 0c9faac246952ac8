// The walk through a frame that every host's painter shares, so that a rule of how the game's
// pixels are drawn holds on every platform at once. Only the frame's damage is touched, and every
// command is cut to its own area within it; an outline is four filled bands; a line is filled
// pixel for pixel, exactly the pixels the runtime repaints when it changes; text is placed in its
// box as its alignment says, and wrapped text goes line under line.
//
// A host's painter derives from it and supplies only what its platform draws with:
//
//   class Painter final : public platform::FramePainter {
//     void setClip(const forms::PixelRect& r) override;                 // cut drawing to r
//     void fill(const forms::PixelRect& r, forms::Rgb color) override;  // rectangles, lines
//     void draw(const forms::DrawPicture& c) override;   // pictures, text and marks clip
//     void draw(const forms::DrawTextRun& c) override;   // themselves with clipTo()
//     void draw(const forms::DrawMarks& c) override;
//   };
//   painter.paint(frame);
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "forms/draw_list.h"

namespace platform {

// The lines of a text run, top to bottom, one line height apart: wrapped at word boundaries
// within the box, given how wide a piece of text is in the run's font, or as the text breaks them.
// A painter that sets the text `factor` times bigger measures it at that size: small letters
// are hinted to whole pixels and come out relatively narrower, and a line that just fits at 1x
// would be cut off.
std::vector<std::string> textLines(const forms::DrawTextRun& run,
                                   const std::function<int(std::string_view)>& width,
                                   int factor = 1);

// Where a line of the run `width` pixels wide starts: wrapped text is always left-aligned, a
// single line is placed in its box as the run says; at `factor`, in pixels of that size.
int alignedX(const forms::DrawTextRun& run, int width, int factor = 1);

class FramePainter {
 public:
  virtual ~FramePainter() = default;

  // Paints frame.damage from the frame's commands; nothing outside it changes.
  void paint(const forms::Frame& frame);

 protected:
  // Limits drawing to the part of `area` that is damaged; false when nothing of it is.
  bool clipTo(const forms::PixelRect& area);

 private:
  // Before the first command; false when the painter cannot draw at all (nothing is drawn).
  virtual bool begin() { return true; }
  // After the last command.
  virtual void end() {}
  virtual void setClip(const forms::PixelRect& r) = 0;
  virtual void fill(const forms::PixelRect& r, forms::Rgb color) = 0;
  virtual void draw(const forms::DrawPicture& c) = 0;
  virtual void draw(const forms::DrawTextRun& c) = 0;
  virtual void draw(const forms::DrawMarks& c) = 0;

  void draw(const forms::FillRect& c);
  void draw(const forms::OutlineRect& c);
  void draw(const forms::DrawLine& c);

  forms::PixelRect damage_;
};

}  // namespace platform
