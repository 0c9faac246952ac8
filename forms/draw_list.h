// What the runtime hands the host to show: the whole window as a list of draw commands in
// painting order (back to front), all in pixels of the client area, plus the part that changed
// since the last frame. The host renders the list; a headless test reads it.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "forms/controls.h"
#include "forms/environment.h"
#include "forms/marks_layer.h"
#include "forms/picture.h"
#include "forms/types.h"

namespace forms {

// A picture drawn unscaled with its top-left corner at (x, y), cut to `clip`.
struct DrawPicture {
  Picture picture;
  int x = 0, y = 0;
  PixelRect clip;
};

struct FillRect {
  PixelRect rect;
  Rgb color;
};

// A rectangle's border drawn inside `rect`, `width` pixels thick.
struct OutlineRect {
  PixelRect rect;
  Rgb color;
  int width = 1;
};

// A straight line with a pen `width` pixels across; see PixelLine for the pixels it covers.
struct DrawLine : PixelLine {
  Rgb color;
};

// Text laid out in `box`: one line, or wrapped at word boundaries within the box's width.
// Nothing is drawn outside `clip`.
struct DrawTextRun {
  std::string text;  // UTF-8
  Font font;
  Rgb color;
  PixelRect box;
  Alignment align = Alignment::Left;
  bool wrap = false;
  PixelRect clip;
};

// A marks layer placed with its top-left at (x, y), cut to `clip`.
struct DrawMarks {
  const MarksLayer* layer = nullptr;
  int x = 0, y = 0;
  PixelRect clip;
};

using DrawCommand =
    std::variant<DrawPicture, FillRect, OutlineRect, DrawLine, DrawTextRun, DrawMarks>;

struct Frame {
  int width = 0, height = 0;  // the client area
  std::vector<DrawCommand> commands;
  PixelRect damage;  // what changed since the previous frame; the rest of the window is as it was
  // The visible picture boxes: child windows of their own, they show the standard arrow instead
  // of the window's gun sight.
  std::vector<PixelRect> arrowCursorAreas;
};

}  // namespace forms
