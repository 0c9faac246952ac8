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

  // Paints the command alone on black over the whole surface; returns the box of the lit pixels
  // and how many there are.
  std::pair<forms::PixelRect, int> litBy(const forms::DrawCommand& command) {
    const forms::PixelRect all{0, 0, kWidth, kHeight};
    forms::Frame f;
    f.width = kWidth;
    f.height = kHeight;
    f.damage = all;
    f.commands = {forms::FillRect{all, {0, 0, 0}}, command};
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
  std::pair<forms::PixelRect, int> litBy(const forms::PixelLine& line) {
    return litBy(forms::DrawCommand{forms::DrawLine{line, {255, 255, 255}}});
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

// The about panel's border lies inside its box, equally wide all round; captions stand in their
// boxes as their alignment says (the hit counters to the right, the buttons' names centred).
TEST_F(PainterTest, BordersAndCaptionsStandWhereTheirBoxesSay) {
  const forms::PixelRect box{10, 20, 50, 30};
  for (int width : {1, 3}) {
    auto [lit, count] = litBy(forms::OutlineRect{box, {255, 255, 255}, width});
    EXPECT_EQ(lit, box) << "width " << width;
    EXPECT_EQ(count, box.w * box.h - (box.w - 2 * width) * (box.h - 2 * width))
        << "width " << width;
  }

  forms::DrawTextRun text;
  text.text = "START";
  text.font.bold = true;
  text.color = {255, 255, 255};
  text.box = {40, 100, 120, 20};
  text.clip = text.box;
  text.align = forms::Alignment::Center;
  auto [centred, n] = litBy(text);
  ASSERT_GT(n, 0);
  int left = centred.x - text.box.x, right = text.box.x + text.box.w - (centred.x + centred.w);
  EXPECT_LE(std::abs(left - right), 3) << "centred text leaves " << left << " and " << right;
  text.align = forms::Alignment::Right;
  auto [flush, m] = litBy(text);
  ASSERT_GT(m, 0);
  EXPECT_LE(text.box.x + text.box.w - (flush.x + flush.w), 2) << "right-aligned text ends early";
  EXPECT_GT(flush.x, centred.x);
}

}  // namespace

// The opening scene painted whole at a factor onto a surface of its own.
struct Painted {
  SDL_Surface* surface = nullptr;
  Painted(const forms::Frame& frame, int factor) {
    surface = SDL_CreateRGBSurfaceWithFormat(0, frame.width * factor, frame.height * factor, 32,
                                             SDL_PIXELFORMAT_RGBA32);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(surface);
    platform::sdl::Fonts fonts;
    {
      platform::sdl::Painter painter(renderer, fonts, factor);
      painter.paint(frame);
    }
    SDL_DestroyRenderer(renderer);
  }
  ~Painted() { SDL_FreeSurface(surface); }
  Uint32 at(int x, int y) const {
    return static_cast<const Uint32*>(surface->pixels)[y * surface->pitch / 4 + x];
  }
};

// The box of the pixels where the two paintings differ, inside `area`.
forms::PixelRect differing(const Painted& a, const Painted& b, const forms::PixelRect& area) {
  forms::PixelRect box;
  for (int y = area.y; y < area.y + area.h; ++y) {
    for (int x = area.x; x < area.x + area.w; ++x) {
      if (a.at(x, y) != b.at(x, y)) {
        box = box.unite({x, y, 1, 1});
      }
    }
  }
  return box;
}

// At a whole factor every pixel of the scene becomes a square, pictures, lines and fills alike,
// with nothing smeared or shifted; the text is set at the factor's own size, so it is sharper
// than any enlargement, yet stands where the enlarged text would.
TEST(PainterAtAFactor, EnlargesThePicturesPixelForPixelAndSetsTheTextAtItsSize) {
  headless::HeadlessHost host;
  Form1 form{host};
  forms::Frame frame = form.paint();
  forms::Frame noText = frame;
  std::erase_if(noText.commands, [](const forms::DrawCommand& c) {
    return std::holds_alternative<forms::DrawTextRun>(c);
  });
  std::vector<forms::PixelRect> texts;
  for (const forms::DrawCommand& c : frame.commands) {
    if (auto* t = std::get_if<forms::DrawTextRun>(&c); t != nullptr && !t->text.empty()) {
      texts.push_back(t->box.intersect(t->clip));
    }
  }
  ASSERT_GE(texts.size(), 5u);

  constexpr int k = 3;
  Painted one(frame, 1), big(frame, k), oneBare(noText, 1), bigBare(noText, k);
  int stray = 0;
  for (int y = 0; y < kHeight * k; ++y) {
    for (int x = 0; x < kWidth * k; ++x) {
      stray += bigBare.at(x, y) != oneBare.at(x / k, y / k) ? 1 : 0;
    }
  }
  EXPECT_EQ(stray, 0) << "pixels of the 3x scene without text that are not its 1x pixel";

  int sharper = 0;
  for (const forms::PixelRect& t : texts) {
    forms::PixelRect ink1 = differing(one, oneBare, t);
    forms::PixelRect inkK = differing(big, bigBare, {t.x * k, t.y * k, t.w * k, t.h * k});
    ASSERT_FALSE(ink1.empty());
    // Where the 1x letters are, give or take what hinting moves a small face: two 1x pixels.
    EXPECT_NEAR(inkK.x, ink1.x * k, 2 * k) << t.x << "," << t.y;
    EXPECT_NEAR(inkK.y, ink1.y * k, 2 * k) << t.x << "," << t.y;
    EXPECT_NEAR(inkK.x + inkK.w, (ink1.x + ink1.w) * k, 2 * k) << t.x << "," << t.y;
    EXPECT_NEAR(inkK.y + inkK.h, (ink1.y + ink1.h) * k, 2 * k) << t.x << "," << t.y;
    for (int y = inkK.y; y + k <= inkK.y + inkK.h; y += k) {
      for (int x = inkK.x; x + k <= inkK.x + inkK.w; x += k) {
        sharper += big.at(x, y) != big.at(x + 1, y + 1) ? 1 : 0;
      }
    }
  }
  EXPECT_GT(sharper, 100) << "the text looks enlarged from 1x pixels";

  // Wrapped text fits its box at every factor: the about text's words are not cut off at the
  // right, though a bigger face is not exactly that many times wider.
  platform::sdl::Fonts fonts;
  const forms::Label& about = form.Label10;
  int width = about.windowPixels().w;
  for (int factor = 1; factor <= 5; ++factor) {
    SDL_Surface* text = fonts.render(about.Font, about.Caption, {255, 0, 0}, width, factor);
    ASSERT_NE(text, nullptr);
    int inkRight = 0;  // the surface may be wider, by the spaces that end a line
    for (int y = 0; y < text->h; ++y) {
      for (int x = 0; x < text->w; ++x) {
        Uint8 r, g, b, a;
        SDL_GetRGBA(static_cast<const Uint32*>(text->pixels)[y * text->pitch / 4 + x], text->format,
                    &r, &g, &b, &a);
        inkRight = a != 0 ? std::max(inkRight, x + 1) : inkRight;
      }
    }
    EXPECT_LE(inkRight, width * factor) << "at " << factor << "x";
    SDL_FreeSurface(text);
  }
}
