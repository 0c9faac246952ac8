// Rendering the draw list with SDL; see sdl_painter.h.
#include "platform/sdl/sdl_painter.h"

#include <SDL.h>

#include <cstring>
#include <limits>

namespace platform::sdl {

namespace {

constexpr std::uint64_t kNeverUploaded = std::numeric_limits<std::uint64_t>::max();

// A texture with the surface's pixels; the surface is freed. The pixels are converted straight
// into the texture: SDL_CreateTextureFromSurface would make a third copy of a converted picture
// on the way, and the landscape alone is a quarter of a megabyte.
SDL_Texture* textureFrom(SDL_Renderer* renderer, SDL_Surface* surface) {
  if (surface == nullptr) {
    return nullptr;
  }
  SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                           SDL_TEXTUREACCESS_STREAMING, surface->w, surface->h);
  void* pixels = nullptr;
  int pitch = 0;
  bool filled = false;
  if (texture != nullptr && SDL_LockTexture(texture, nullptr, &pixels, &pitch) == 0) {
    filled = SDL_ConvertPixels(surface->w, surface->h, surface->format->format, surface->pixels,
                               surface->pitch, SDL_PIXELFORMAT_ARGB8888, pixels, pitch) == 0;
    SDL_UnlockTexture(texture);
  }
  if (filled) {
    SDL_SetTextureBlendMode(texture,
                            surface->format->Amask != 0 ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
  } else {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "cannot make a texture: %s", SDL_GetError());
    if (texture != nullptr) {
      SDL_DestroyTexture(texture);
      texture = nullptr;
    }
  }
  SDL_FreeSurface(surface);
  return texture;
}

}  // namespace

std::string sdlError() {
  const char* e = SDL_GetError();
  return e != nullptr && *e != '\0' ? e : "no reason given";
}

SDL_Surface* surfaceFrom(const images::Image& image) {
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormat(0, image.width, image.height, 32, SDL_PIXELFORMAT_RGBA32);
  if (surface == nullptr) {
    return nullptr;
  }
  auto rowBytes = static_cast<std::size_t>(image.width) * 4;
  auto* pixels = static_cast<std::uint8_t*>(surface->pixels);
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(pixels + static_cast<std::size_t>(y) * surface->pitch,
                image.rgba.data() + y * rowBytes, rowBytes);
  }
  return surface;
}

// SDL reads the BMPs itself; the rest are few and tiny and need no codec library.
SDL_Surface* decodeImage(std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    return rw != nullptr ? SDL_LoadBMP_RW(rw, 1) : nullptr;
  }
  bool gif = bytes.size() >= 3 && bytes[0] == 'G' && bytes[1] == 'I' && bytes[2] == 'F';
  images::Decoded decoded = gif ? images::decodeGif(bytes) : images::decodeIconOrCursor(bytes);
  if (!decoded.ok()) {
    SDL_SetError("%s", decoded.error.c_str());
    return nullptr;
  }
  return surfaceFrom(decoded.image);
}

template <class Key>
Painter::Cache<Key>::~Cache() {
  for (auto& [key, entry] : entries_) {
    if (entry.texture != nullptr) {
      SDL_DestroyTexture(entry.texture);
    }
  }
}

template <class Key>
typename Painter::Cache<Key>::Entry& Painter::Cache<Key>::get(
    const Key& key, const std::function<SDL_Texture*()>& make) {
  auto it = entries_.find(key);
  if (it == entries_.end()) {
    it = entries_.emplace(key, Entry{make(), kNeverUploaded}).first;
  }
  it->second.mentioned = true;
  return it->second;
}

template <class Key>
void Painter::Cache<Key>::mention(const Key& key) {
  if (auto it = entries_.find(key); it != entries_.end()) {
    it->second.mentioned = true;
  }
}

template <class Key>
void Painter::Cache<Key>::sweep() {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->second.mentioned) {
      it->second.mentioned = false;
      ++it;
    } else {
      if (it->second.texture != nullptr) {
        SDL_DestroyTexture(it->second.texture);
      }
      it = entries_.erase(it);
    }
  }
}

// The renderer's scale enlarges every rectangle, line and picture in scene pixels exactly;
// text alone is placed in the target's own pixels (see draw(DrawTextRun)).
Painter::Painter(SDL_Renderer* renderer, Fonts& fonts, int factor)
    : renderer_(renderer), fonts_(fonts), factor_(factor) {
  SDL_RenderSetScale(renderer_, static_cast<float>(factor_), static_cast<float>(factor_));
}

Painter::~Painter() = default;

void Painter::end() {
  SDL_RenderSetClipRect(renderer_, nullptr);
  pictures_.sweep();
  texts_.sweep();
  marks_.sweep();
}

void Painter::setClip(const forms::PixelRect& r) {
  SDL_Rect clip{r.x, r.y, r.w, r.h};
  SDL_RenderSetClipRect(renderer_, &clip);
}

void Painter::fill(const forms::PixelRect& r, forms::Rgb color) {
  SDL_SetRenderDrawColor(renderer_, color.r, color.g, color.b, 255);
  SDL_Rect rect{r.x, r.y, r.w, r.h};
  SDL_RenderFillRect(renderer_, &rect);
}

void Painter::draw(const forms::DrawPicture& c) {
  const forms::PictureData* data = c.picture.data();
  if (data == nullptr) {
    return;
  }
  const std::uint8_t* key = data->bytes.data();
  if (!clipTo(forms::PixelRect{c.x, c.y, data->width, data->height}.intersect(c.clip))) {
    pictures_.mention(key);
    return;
  }
  auto& entry = pictures_.get(key, [&] {
    SDL_Surface* surface = decodeImage(data->bytes);
    if (surface == nullptr) {
      SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "cannot decode picture %s: %s", data->name.c_str(),
                   SDL_GetError());
    }
    return textureFrom(renderer_, surface);
  });
  int w = 0, h = 0;
  if (entry.texture != nullptr && SDL_QueryTexture(entry.texture, nullptr, nullptr, &w, &h) == 0) {
    SDL_Rect dst{c.x, c.y, w, h};
    SDL_RenderCopy(renderer_, entry.texture, nullptr, &dst);
  }
}

// Text is set at the factor's own size rather than enlarged, and placed in the target's pixels:
// the box and the alignment are the scene's, the glyphs as sharp as the screen allows.
void Painter::draw(const forms::DrawTextRun& c) {
  int wrapWidth = c.wrap ? c.box.w : 0;
  std::uint32_t color = c.color.r | (c.color.g << 8) | (c.color.b << 16);
  TextKey key{c.text, c.font.pixelSize, c.font.bold, c.font.italic, color, wrapWidth};
  if (!clipTo(c.clip)) {
    texts_.mention(key);
    return;
  }
  auto& entry = texts_.get(key, [&] {
    return textureFrom(renderer_, fonts_.render(c.font, c.text, c.color, wrapWidth, factor_));
  });
  int w = 0, h = 0;
  if (entry.texture == nullptr || SDL_QueryTexture(entry.texture, nullptr, nullptr, &w, &h) != 0) {
    return;
  }
  // SDL_ttf wraps the text itself. The clip rectangle stays as it was set, in the target's pixels.
  const int k = factor_;
  SDL_Rect dst{alignedX(c, w, k), c.box.y * k, w, h};
  SDL_RenderSetScale(renderer_, 1, 1);
  SDL_RenderCopy(renderer_, entry.texture, nullptr, &dst);
  SDL_RenderSetScale(renderer_, static_cast<float>(k), static_cast<float>(k));
}

void Painter::draw(const forms::DrawMarks& c) {
  const forms::MarksLayer* layer = c.layer;
  if (layer == nullptr || layer->width() <= 0 || layer->height() <= 0) {
    return;
  }
  int w = layer->width(), h = layer->height();
  MarksKey key{layer, w, h};
  if (layer->blank() || !clipTo(forms::PixelRect{c.x, c.y, w, h}.intersect(c.clip))) {
    marks_.mention(key);
    return;
  }
  auto& entry = marks_.get(key, [&] {
    SDL_Texture* t =
        SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
    if (t != nullptr) {
      SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    }
    return t;
  });
  if (entry.texture == nullptr) {
    return;
  }
  if (entry.stamp != layer->version()) {
    SDL_UpdateTexture(entry.texture, nullptr, layer->pixels().data(), w * 4);
    entry.stamp = layer->version();
  }
  SDL_Rect dst{c.x, c.y, w, h};
  SDL_RenderCopy(renderer_, entry.texture, nullptr, &dst);
}

}  // namespace platform::sdl
