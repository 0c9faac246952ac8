// The screen random play checks, painted by the SDL host's painter at 1x into software surfaces,
// as the window paints itself: no display needed. See tests/game/screen.h.
#include <SDL.h>

#include <cstring>
#include <iomanip>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/sdl/sdl_painter.h"
#include "tests/game/screen.h"

namespace {

constexpr Uint32 kUnpainted = 0xFFFF00FF;  // magenta, the colour of a pixel nothing painted

class Canvas {
 public:
  Canvas(int width, int height, platform::sdl::Fonts& fonts)
      : surface_(SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888)),
        renderer_(surface_ ? SDL_CreateSoftwareRenderer(surface_) : nullptr),
        fonts_(fonts) {
    if (!renderer_)
      throw std::runtime_error(SDL_GetError());
    blank();
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  ~Canvas() {
    painter_.reset();
    SDL_DestroyRenderer(renderer_);
    SDL_FreeSurface(surface_);
  }

  void blank() {
    SDL_SetClipRect(surface_, nullptr);  // the renderer leaves its last clip on the surface
    SDL_FillRect(surface_, nullptr, kUnpainted);
  }
  // A painter that has cached nothing yet.
  void freshPainter() {
    painter_.reset();
    painter_.emplace(renderer_, fonts_);
  }
  void paint(const forms::Frame& frame) {
    if (!painter_)
      freshPainter();
    painter_->paint(frame);
    SDL_RenderFlush(renderer_);  // into the surface now, as a window's present would
  }
  Uint32 at(int x, int y) const {
    return static_cast<const Uint32*>(surface_->pixels)[y * surface_->pitch / 4 + x] & 0xFFFFFF;
  }
  const SDL_Surface& surface() const { return *surface_; }

 private:
  SDL_Surface* surface_;
  SDL_Renderer* renderer_;
  platform::sdl::Fonts& fonts_;
  std::optional<platform::sdl::Painter> painter_;
};

class PaintedScreen : public Screen {
 public:
  PaintedScreen(int width, int height)
      : width_(width),
        height_(height),
        shown_(width, height, fonts_),
        afresh_(width, height, fonts_) {}

  void render(const forms::Frame& frame) override { shown_.paint(frame); }
  void uncover() override { shown_.blank(); }

  std::string differs(const forms::Frame& scene) override {
    forms::Frame whole = scene;
    whole.width = width_;
    whole.height = height_;
    whole.damage = {0, 0, width_, height_};
    // Painters keep a marks layer's texture until the layer's version moves: when the marks
    // themselves changed, paint them with a painter that has never seen them, so a change the
    // version does not tell shows up as a difference.
    if (marksChanged(whole))
      afresh_.freshPainter();
    afresh_.blank();
    afresh_.paint(whole);
    return compare();
  }

 private:
  bool marksChanged(const forms::Frame& whole) {
    bool changed = false;
    size_t n = 0;
    for (const forms::DrawCommand& c : whole.commands) {
      const auto* m = std::get_if<forms::DrawMarks>(&c);
      if (!m)
        continue;
      if (n == marks_.size())
        marks_.emplace_back();
      if (marks_[n] != m->layer->pixels()) {
        marks_[n] = m->layer->pixels();
        changed = true;
      }
      ++n;
    }
    return changed;
  }

  std::string compare() const {
    const SDL_Surface& a = shown_.surface();
    const SDL_Surface& b = afresh_.surface();
    forms::PixelRect box;
    int firstX = -1, firstY = -1;
    for (int y = 0; y < height_; ++y) {
      const auto* rowA = static_cast<const Uint8*>(a.pixels) + y * a.pitch;
      const auto* rowB = static_cast<const Uint8*>(b.pixels) + y * b.pitch;
      if (std::memcmp(rowA, rowB, static_cast<size_t>(width_) * 4) == 0)
        continue;
      for (int x = 0; x < width_; ++x) {
        if (shown_.at(x, y) == afresh_.at(x, y))
          continue;
        box = box.unite({x, y, 1, 1});
        if (firstX < 0)
          firstX = x, firstY = y;
      }
    }
    if (firstX < 0)
      return {};
    std::ostringstream o;
    o << "the screen differs from the scene painted afresh in the box (" << box.x << ", " << box.y
      << ", " << box.w << " x " << box.h << ") pixels; at (" << firstX << ", " << firstY
      << ") it shows #" << std::hex << std::setfill('0') << std::setw(6)
      << shown_.at(firstX, firstY) << ", afresh #" << std::setw(6) << afresh_.at(firstX, firstY);
    return o.str();
  }

  int width_, height_;
  platform::sdl::Fonts fonts_;
  Canvas shown_, afresh_;
  std::vector<std::vector<std::uint32_t>> marks_;  // what the fresh painter last saw
};

}  // namespace

std::unique_ptr<Screen> makeScreen(int width, int height) {
  return std::make_unique<PaintedScreen>(width, height);
}
