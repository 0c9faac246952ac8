// Text for the SDL host: the embedded Vombrel Sans faces (Liberation Sans cut down to the letters
// the game shows), opened at the pixel sizes the game asks for, measured and rasterised with
// SDL2_ttf. The host measures with it (auto-sized labels) and the painter draws with it, so a
// label's box always fits the text that is drawn in it. Faces open on first use; measuring works
// before the window exists.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "forms/environment.h"
#include "forms/types.h"

struct SDL_Surface;
typedef struct _TTF_Font TTF_Font;  // SDL_ttf's own declaration, without its header

namespace platform::sdl {

class Fonts {
 public:
  Fonts() = default;
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;
  ~Fonts();

  // Width of the text on one line and the font's line height, in pixels. Zero when the font
  // cannot be opened (the reason is logged once).
  forms::TextExtent measure(const forms::Font& font, std::string_view utf8);

  // A new surface with the text in `color` on a transparent background, wrapped at word
  // boundaries to `wrapWidth` pixels when it is above 0. Null for empty text or on failure;
  // the caller frees the surface. At a factor above 1 the letters are set that many times
  // bigger, and wrapped within that many times the width.
  SDL_Surface* render(const forms::Font& font, const std::string& utf8, forms::Rgb color,
                      int wrapWidth, int factor = 1);

 private:
  TTF_Font* face(const forms::Font& font);

  bool ttfReady_ = false;
  std::map<std::tuple<int, bool, bool>, TTF_Font*> faces_;  // null: could not be opened
};

}  // namespace platform::sdl
