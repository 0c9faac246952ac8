// The sound module and the cursor module on the headless host.
#include "app/my.h"
#include "platform/pointer.h"
#include "play.h"

namespace {

TEST(Zvuk, EverySoundOfTheBankPlaysAndAMissingOneShowsTheBox) {
  headless::HeadlessHost host;
  Zvuk zvuk(host);
  for (int id : {1, 2, 3, 4, 5, 6, 7, 9}) {
    zvuk.PlaySound(id, "RESTYPE");
    ASSERT_FALSE(host.sounds().empty());
    auto bank = assets::find("RESTYPE", id);
    ASSERT_TRUE(bank.has_value());
    EXPECT_TRUE(std::equal(bank->begin(), bank->end(), host.sounds().back().begin(),
                           host.sounds().back().end()))
        << "id " << id;
  }
  EXPECT_TRUE(host.messageBoxes().empty());

  // Id 8 is not in the bank: the box once per call, and nothing new plays.
  zvuk.PlaySound(8, "RESTYPE");
  zvuk.PlaySound(8, "RESTYPE");
  EXPECT_EQ(host.sounds().size(), 8u);
  const headless::MessageBoxCall box{"Vombrel", "Please check the spelling of the ID or TYPE."};
  EXPECT_EQ(host.messageBoxes(), (std::vector<headless::MessageBoxCall>{box, box}));

  // A wrong type name is just as missing.
  zvuk.PlaySound(5, "WAVE");
  EXPECT_EQ(host.messageBoxes().size(), 3u);

  // An id given as a float holding a whole number plays that sound.
  zvuk.PlaySound(2.0f, "RESTYPE");
  EXPECT_EQ(host.sounds().back().size(), assets::find("RESTYPE", 2)->size());
}

TEST(My, TheWindowRectangleRoundsTiesToEven) {
  const forms::WindowRect window{1500, 1200, 4650, 3570};
  EXPECT_EQ(My::windowClip(window, {15360, 11520, 15, 15}),
            (platform::ClipRect{100, 80, 410, 318}));
  // At 12 twips per pixel, 512.5 rounds to 512 and 397.5 to 398.
  EXPECT_EQ(My::windowClip(window, {12288, 9216, 12, 12}),
            (platform::ClipRect{125, 100, 512, 398}));
}

TEST(My, TheRectangleIsTheWindowsOwnPixelsAtEveryDesktopScale) {
  // The SDL host counts twips at the window's scale (15 to the pixel until 192 dpi doubles the
  // window, then 7.5); a host could as well count them at the desktop's 1440 / dpi. Whichever
  // it is, the rectangle must come back to the pixels the window covers, wherever it stands.
  for (int dpi : {96, 120, 144, 168, 192}) {
    const int scale = dpi / 96;
    const int width = 304 * scale, height = 213 * scale;
    for (double twips : {15.0 / scale, 1440.0 / dpi}) {
      for (int x : {0, 360, 361, 640, 719}) {
        const int y = x * 3 / 4 + 1;
        SCOPED_TRACE(testing::Message()
                     << dpi << " dpi, " << twips << " twips per pixel, at " << x << "," << y);
        const forms::WindowRect window{x * twips, y * twips, width * twips, height * twips};
        EXPECT_EQ(My::windowClip(window, {1024 * twips, 768 * twips, twips, twips}),
                  (platform::ClipRect{x, y, x + width, y + height}));
      }
    }
  }
}

TEST(My, TheCursorIsConfinedOnlyWhileAGameRuns) {
  Play g;
  g.host.setScreen({12288, 9216, 12, 12});
  g.start();
  ASSERT_EQ(g.host.clips().size(), 1u);
  EXPECT_EQ(g.host.clips()[0], (platform::ClipRect{125, 100, 512, 398}));

  // Moving the window during the game does not change the rectangle computed at START.
  g.host.setWindowRect({3000, 2400, 4650, 3570});
  g.driver.advance(2000);
  EXPECT_EQ(g.host.clips().size(), 1u);

  g.start();  // STOP
  EXPECT_EQ(g.host.clips().back(), std::nullopt);
}

TEST(My, TheExitFreesTheCursorAndEndsTheProgram) {
  Play g;
  g.start();
  g.driver.advance(1000);
  const size_t sounds = g.soundCount();
  g.driver.click(Play::kExitX, Play::kExitY);
  EXPECT_TRUE(g.form.ended());
  ASSERT_GE(g.host.clips().size(), 3u);
  EXPECT_EQ(g.host.clips()[1], std::nullopt) << "by the exit label";
  EXPECT_EQ(g.host.clips()[2], std::nullopt) << "and again by the unload";
  EXPECT_EQ(g.soundCount(), sounds) << "a game in progress ends without a sound";
  const auto clipsAtEnd = g.host.clips().size();
  g.driver.advance(5000);
  EXPECT_EQ(g.soundCount(), sounds) << "nothing runs after the end";
  EXPECT_EQ(g.host.clips().size(), clipsAtEnd);
}

TEST(My, ClosingTheWindowFreesTheCursor) {
  Play g;
  g.start();
  g.driver.close();
  EXPECT_TRUE(g.form.ended());
  EXPECT_EQ(g.host.clips().back(), std::nullopt);
}

// The fence is a child window of its own: over it the player sees the standard arrow, over the
// sky and the buttons the gun sight. Every host asks the frame the same question.
TEST(Cursor, TheArrowShowsOverTheFenceAndTheGunSightElsewhere) {
  Play g;
  const auto px = [](double twips) { return static_cast<int>(twips / forms::kTwipsPerPixel); };
  const auto& areas = g.host.lastFrame()->arrowCursorAreas;
  const auto& fence = g.form.Picture1;
  const int left = px(fence.Left), top = px(fence.Top);
  const int right = px(fence.Left + fence.Width) - 1, bottom = px(fence.Top + fence.Height) - 1;
  for (auto [x, y] : {std::pair{left, top}, {right, bottom}, {(left + right) / 2, top + 5}}) {
    EXPECT_TRUE(platform::showsArrow(areas, x, y)) << x << ", " << y;
  }
  for (auto [x, y] :
       {std::pair{150, 20}, {left, top - 1}, {px(Play::kStartX), px(Play::kStartY)}}) {
    EXPECT_FALSE(platform::showsArrow(areas, x, y)) << x << ", " << y;
  }
}

}  // namespace
