// Draws the runtime's draw list with an SDL renderer into its target (the window's own pixels,
// or the part of them the scene takes in fullscreen) at a whole factor: every scene pixel a
// square of factor x factor pixels, pictures enlarged pixel for pixel, text set at the factor's
// own size so that it stays sharp. Only the frame's damaged region is touched.
//
// Decoded pictures, rasterised text runs and uploaded marks layers are kept as textures for as
// long as the frames keep mentioning them, so an unchanged scene costs no decoding or text
// layout, and a caption that changes leaves nothing behind.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <tuple>

#include "forms/draw_list.h"
#include "platform/frame_painter.h"
#include "platform/images/image_decoders.h"
#include "platform/sdl/sdl_text.h"

struct SDL_Renderer;
struct SDL_Surface;
struct SDL_Texture;

namespace platform::sdl {

// SDL's last error, or a word that there was none.
std::string sdlError();

// Decodes a BMP, GIF, ICO or CUR image from memory into a new surface (GIF transparency and icon
// masks become alpha), or null with the reason in SDL_GetError(). The caller frees it.
SDL_Surface* decodeImage(std::span<const std::uint8_t> bytes);

// A new 32-bit RGBA surface with a copy of the image, or null with the reason in SDL_GetError().
SDL_Surface* surfaceFrom(const images::Image& image);

class Painter final : public FramePainter {
 public:
  // Sets the renderer's scale to the factor; the renderer is the painter's alone.
  Painter(SDL_Renderer* renderer, Fonts& fonts, int factor = 1);
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;
  ~Painter() override;  // frees the textures; the renderer must still exist

 private:
  // Textures by key, each with a stamp for its owner's use (the marks layer version uploaded).
  template <class Key>
  class Cache {
   public:
    struct Entry {
      SDL_Texture* texture = nullptr;  // null when it could not be made; not retried
      std::uint64_t stamp = 0;
      bool mentioned = true;
    };
    Cache() = default;
    Cache(const Cache&) = delete;
    Cache& operator=(const Cache&) = delete;
    ~Cache();
    Entry& get(const Key& key, const std::function<SDL_Texture*()>& make);
    void mention(const Key& key);
    void sweep();  // drops what the last frame did not mention

   private:
    std::map<Key, Entry> entries_;
  };

  // After a frame each cache drops what the frame did not mention.
  void end() override;

  using TextKey = std::tuple<std::string, int, bool, bool, std::uint32_t, int>;
  using MarksKey = std::tuple<const forms::MarksLayer*, int, int>;

  void setClip(const forms::PixelRect& r) override;
  void fill(const forms::PixelRect& r, forms::Rgb color) override;
  // Pictures, text and marks are cached while the frames mention them, drawn or not.
  void draw(const forms::DrawPicture& c) override;
  void draw(const forms::DrawTextRun& c) override;
  void draw(const forms::DrawMarks& c) override;

  SDL_Renderer* renderer_;
  Fonts& fonts_;
  int factor_;
  Cache<const std::uint8_t*> pictures_;  // by the encoded bytes, which live as long as the program
  Cache<TextKey> texts_;
  Cache<MarksKey> marks_;
};

}  // namespace platform::sdl
