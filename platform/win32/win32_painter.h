// Drawing for the Win32 host with GDI: the runtime's draw list is painted into a back buffer, a
// 32-bit DIB of the scene's size times the whole factor the player sees it at, which the host
// copies to the window as it is. Pictures are enlarged by that factor pixel for pixel (BMPs
// straight from their embedded bytes with StretchDIBits, GIFs and the marks layers through the
// shared decoders and AlphaBlend); lines and fills are whole squares of it; text is set at the
// factor's size in the embedded Vombrel Sans, registered for this process only, so that the
// letters are crisp and match Linux's. At factor 1 the buffer is the scene, pixel for pixel.
//
//   win32::Fonts fonts;                        // measuring works before any window exists
//   win32::Painter painter(304, 213, 2, fonts);  // a 608 x 426 buffer
//   painter.paint(frame);                      // only frame.damage (scene pixels) changes
//   BitBlt(windowDc, ..., painter.dc(), ...);
//
// Nothing of windows.h shows here: device contexts are GDI's own opaque handle type.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "forms/draw_list.h"
#include "forms/environment.h"
#include "platform/frame_painter.h"

struct HDC__;
struct HFONT__;
struct HBITMAP__;

namespace platform::win32 {

class Fonts {
 public:
  Fonts();
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;
  ~Fonts();

  // Width of the text on one line and the font's line height, in pixels.
  forms::TextExtent measure(const forms::Font& font, std::string_view utf8);
  // The GDI font for the game's font, made on first use.
  HFONT__* face(const forms::Font& font);

 private:
  std::map<std::tuple<int, bool, bool>, HFONT__*> faces_;
  void* added_[3] = {};  // the fonts registered from memory
  HDC__* measuring_ = nullptr;
};

class Painter final : public FramePainter {
 public:
  // The scene's size in its own pixels and the whole factor it is shown at.
  Painter(int width, int height, int factor, Fonts& fonts);
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;
  ~Painter() override;

  bool ok() const { return buffer_ != nullptr; }
  int factor() const { return k_; }
  // The memory device context that holds the back buffer.
  HDC__* dc() const { return dc_; }

 private:
  // A premultiplied 32-bit picture of its own at the factor, ready for AlphaBlend; width and
  // height are the picture's own.
  struct Sprite {
    HDC__* dc = nullptr;
    HBITMAP__* bitmap = nullptr;
    std::uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    std::uint64_t stamp = 0;
  };

  void setClip(const forms::PixelRect& r) override;
  void fill(const forms::PixelRect& r, forms::Rgb color) override;
  void draw(const forms::DrawPicture& c) override;
  void draw(const forms::DrawTextRun& c) override;
  void draw(const forms::DrawMarks& c) override;
  // A painter without its back buffer draws nothing; after a frame, GDI has drawn it all.
  bool begin() override { return ok(); }
  void end() override;
  Sprite* sprite(const void* key, int width, int height);
  void put(Sprite& s, int x, int y, std::uint32_t pixel) const;
  void blend(const Sprite& s, int x, int y);

  Fonts& fonts_;
  int k_;
  HDC__* dc_ = nullptr;
  HBITMAP__* buffer_ = nullptr;
  HBITMAP__* original_ = nullptr;
  // Decoded GIFs by their encoded bytes, which live as long as the program; marks layers by the
  // layer, uploaded again when its version moves.
  std::map<const void*, Sprite> sprites_;
};

}  // namespace platform::win32
