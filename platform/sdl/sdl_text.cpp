// Text measuring and rasterising with SDL2_ttf; see sdl_text.h.
#include "platform/sdl/sdl_text.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include "assets/resources.h"
#include "forms/word_wrap.h"

namespace platform::sdl {

Fonts::~Fonts() {
  for (auto& [key, face] : faces_) {
    if (face != nullptr) {
      TTF_CloseFont(face);
    }
  }
  if (ttfReady_) {
    TTF_Quit();
  }
}

TTF_Font* Fonts::face(const forms::Font& font) {
  auto key = std::make_tuple(font.pixelSize, font.bold, font.italic);
  if (auto it = faces_.find(key); it != faces_.end()) {
    return it->second;
  }
  TTF_Font* face = nullptr;
  if (!ttfReady_ && TTF_Init() == 0) {
    ttfReady_ = true;
  }
  if (ttfReady_) {
    // The three faces the game uses have files of their own; italic alone is slanted by SDL_ttf.
    auto file = font.bold ? (font.italic ? assets::FontFile::BoldItalic : assets::FontFile::Bold)
                          : assets::FontFile::Regular;
    auto bytes = assets::font(file);
    // At 72 dpi a point is a pixel, so the face's em is exactly the requested pixel size:
    // 11 px is the 8.25 pt the layout asks for at 96 dpi.
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    face = TTF_OpenFontDPIRW(rw, 1, font.pixelSize, 72, 72);
    if (face != nullptr && font.italic && !font.bold) {
      TTF_SetFontStyle(face, TTF_STYLE_ITALIC);
    }
  }
  if (face == nullptr) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "cannot open the %d px font: %s", font.pixelSize,
                 SDL_GetError());
  }
  faces_.emplace(key, face);
  return face;
}

forms::TextExtent Fonts::measure(const forms::Font& font, std::string_view utf8) {
  TTF_Font* f = face(font);
  if (f == nullptr) {
    return {};
  }
  int width = 0;
  int height = 0;
  std::string text(utf8);
  if (!text.empty() && TTF_SizeUTF8(f, text.c_str(), &width, &height) != 0) {
    width = 0;
  }
  return {width, TTF_FontHeight(f)};
}

SDL_Surface* Fonts::render(const forms::Font& font, const std::string& utf8, forms::Rgb color,
                           int wrapWidth, int factor) {
  forms::Font scaled = font;
  scaled.pixelSize *= factor;
  TTF_Font* f = face(scaled);
  if (f == nullptr || utf8.empty()) {
    return nullptr;
  }
  SDL_Color c{color.r, color.g, color.b, 255};
  if (wrapWidth <= 0) {
    return TTF_RenderUTF8_Blended(f, utf8.c_str(), c);
  }
  // The runtime's word wrap, not SDL_ttf's, which would start a line with the spaces that end
  // a sentence. A wrap length of 0 breaks at the newlines alone.
  // Lines break where they fit at the factor's own size: the letters of a bigger face are not
  // exactly that many times wider, and a line that fits at 1x could run past its box.
  std::string lines = forms::wrapWords(
      utf8, wrapWidth * factor, [&](std::string_view line) { return measure(scaled, line).width; });
  return TTF_RenderUTF8_Blended_Wrapped(f, lines.c_str(), c, 0);
}

}  // namespace platform::sdl
