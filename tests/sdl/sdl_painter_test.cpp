// The SDL painter on a software renderer over a plain surface: no window and no X server needed.
#include <SDL.h>
#include <gtest/gtest.h>

#include "app/form1.h"
#include "platform/headless/headless_host.h"
#include "platform/sdl/sdl_painter.h"

namespace {

constexpr int kWidth = 304, kHeight = 213;

class PainterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    surface_ = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGBA32);
    ASSERT_NE(surface_, nullptr) << SDL_GetError();
    renderer_ = SDL_CreateSoftwareRenderer(surface_);
    ASSERT_NE(renderer_, nullptr) << SDL_GetError();
    painter_.emplace(renderer_, fonts_);
  }
  void TearDown() override {
    painter_.reset();
    SDL_DestroyRenderer(renderer_);
    SDL_FreeSurface(surface_);
  }

  // Paints the line alone on black over the whole surface; returns the box of the lit pixels and
  // how many there are.
  std::pair<forms::PixelRect, int> litBy(const forms::PixelLine& line) {
    const forms::PixelRect all{0, 0, kWidth, kHeight};
    forms::Frame f;
    f.width = kWidth;
    f.height = kHeight;
    f.damage = all;
    f.commands = {forms::FillRect{all, {0, 0, 0}}, forms::DrawLine{line, {255, 255, 255}}};
    painter_->paint(f);
    forms::PixelRect lit;
    int count = 0;
    const auto* pixels = static_cast<const Uint8*>(surface_->pixels);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (pixels[y * surface_->pitch + x * 4] != 0) {
          lit = lit.unite({x, y, 1, 1});
          ++count;
        }
      }
    }
    return {lit, count};
  }

  SDL_Surface* surface_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  platform::sdl::Fonts fonts_;
  std::optional<platform::sdl::Painter> painter_;
};

// A frame line that paints a pixel outside the box the runtime repaints leaves it behind when
// the frame is hidden: a white scrap around a button for the rest of the game.
TEST_F(PainterTest, ALinePaintsExactlyTheBoxItsControlRepaints) {
  headless::HeadlessHost host;
  Form1 form{host};
  for (forms::LineControl* l :
       {&form.line1, &form.line2, &form.line3, &form.line4, &form.Line5, &form.Line6, &form.Line7,
        &form.Line8, &form.Line9, &form.Line10, &form.Line11, &form.Line12}) {
    for (int width : {1, 2, 3, 4, 5}) {
      l->BorderWidth = width;
      auto [lit, count] = litBy(l->pixels());
      forms::PixelRect repainted = l->windowPixels();
      EXPECT_EQ(lit, repainted) << l->name() << " at width " << width;
      // Straight lines fill their box: every edge of a frame is equally wide.
      EXPECT_EQ(count, repainted.w * repainted.h) << l->name() << " at width " << width;
      EXPECT_EQ(std::min(repainted.w, repainted.h), width) << l->name();
    }
  }
  // A slanted line stays inside its box too.
  for (int width : {1, 2, 5}) {
    forms::PixelLine slant{20, 30, 90, 60, width};
    EXPECT_EQ(litBy(slant).first, slant.bounds()) << "width " << width;
  }
}

}  // namespace
