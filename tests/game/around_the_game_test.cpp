// Around the target: the bonus bird, shots that miss and their marks, the button frames, the
// message label and the about panel.
#include "play.h"

namespace {

const forms::Rgb kGreen{0, 128, 0};
const forms::Rgb kLightBlue{128, 220, 255};
const forms::Rgb kDarkRed{128, 0, 0};

// Waits for the bonus bird's launch (30 s after START or after its last flight).
void waitForLaunch(Play& g) {
  const forms::Millis end = g.host.now() + 40000;
  while (!g.form.Timer6.Enabled && g.host.now() < end)
    g.driver.advance(100);
  ASSERT_TRUE(g.form.Timer6.Enabled);
}

// Where to press to hit the bird: its centre, once it is inside the window.
void flyIntoView(Play& g) {
  while (g.form.Image3.Left < 600)
    g.driver.advance(100);
}
void shootBird(Play& g) {
  g.driver.press(g.form.Image3.Left + 75, g.form.Image3.Top + 75);
  g.driver.release(g.form.Image3.Left + 75, g.form.Image3.Top + 75);
}

TEST(BonusItem, FliesAcrossFromALaunchAtARandomHeight) {
  Play g;
  g.start();
  g.driver.advance(29999);
  EXPECT_FALSE(g.form.Timer6.Enabled);
  g.driver.advance(1);
  ASSERT_TRUE(g.form.Timer6.Enabled);
  EXPECT_EQ(g.form.Image3.Left, -150);
  const float top = g.form.Image3.Top;
  EXPECT_GE(top, 1);
  EXPECT_LE(top, 840);
  EXPECT_EQ(top, std::floor(top));

  g.driver.advance(1000);  // ten moves on, well inside the window
  const forms::PixelRect bird = g.form.Image3.windowPixels();
  const auto& commands = g.host.lastFrame()->commands;
  EXPECT_TRUE(std::any_of(commands.begin(), commands.end(), [&](const auto& c) {
    const auto* p = std::get_if<forms::DrawPicture>(&c);
    return p && p->picture == g.form.Image3.Picture.get() && p->x == bird.x && p->y == bird.y;
  })) << "the bird shows where it flies";
  g.driver.advance(3800);
  EXPECT_EQ(g.form.Image3.Left, 4650) << "48 moves";
  EXPECT_TRUE(g.form.Timer6.Enabled);
  g.driver.advance(100);
  EXPECT_FALSE(g.form.Timer6.Enabled) << "the 49th tick ends the flight";
  EXPECT_TRUE(g.form.Timer5.Enabled);
  EXPECT_EQ(g.form.Image3.Left, 4650);

  // The next launch comes 30 s after the flight left the window. Launch heights stay within
  // 1..840 whatever the random source gives. The about panel halts the target, whose places draw
  // from the same source, while the bird goes on.
  g.about();
  g.host.queueRnd({0.0f, 0.99999994f});
  g.driver.advance(29999);
  EXPECT_FALSE(g.form.Timer6.Enabled);
  g.driver.advance(1);
  EXPECT_EQ(g.form.Image3.Left, -150) << "from the left edge again";
  EXPECT_EQ(g.form.Image3.Top, 1);
  g.driver.advance(4900);
  g.driver.advance(30000);
  EXPECT_EQ(g.form.Image3.Top, 840);
}

TEST(BonusItem, AHitAddsFiveOnceAndShowsPlusFive) {
  Play g;
  g.start();
  waitForLaunch(g);
  flyIntoView(g);
  const std::string before = g.counter();
  shootBird(g);
  EXPECT_EQ(std::stod(g.counter()), std::stod(before) + 5);
  EXPECT_EQ(g.form.Label12.Caption, "+05");
  EXPECT_EQ(g.form.Image3.Picture, g.form.Image4.Picture);
  EXPECT_EQ(g.soundIds().back(), 9);
  EXPECT_FALSE(g.form.Timer6.Enabled) << "the bird stops where it was hit";

  // A second hit during the display adds nothing but sounds again.
  const std::string after = g.counter();
  shootBird(g);
  EXPECT_EQ(g.counter(), after);
  EXPECT_EQ(g.soundIds().back(), 9);
  EXPECT_EQ(g.form.Label12.Caption, "+05");

  g.driver.advance(1000);
  EXPECT_EQ(g.form.Label12.Caption, "");
  EXPECT_EQ(g.form.Image3.Left, -150);
  EXPECT_TRUE(g.form.Timer5.Enabled);
  EXPECT_FALSE(g.form.Timer7.Enabled);

  // The next flight comes 30 s after the display ended, and it is the bird again.
  g.driver.advance(29999);
  EXPECT_FALSE(g.form.Timer6.Enabled);
  g.driver.advance(1);
  EXPECT_TRUE(g.form.Timer6.Enabled);
  EXPECT_TRUE(Play::shows(g.form.Image3.Picture, assets::Pic::Bird));
}

TEST(BonusItem, AStopDuringTheDisplayKeepsTheBirdCrossingBetweenGames) {
  Play g;
  g.start();
  waitForLaunch(g);
  flyIntoView(g);
  shootBird(g);
  g.start();  // STOP within the display
  EXPECT_TRUE(g.form.Timer7.Enabled);
  g.driver.advance(1000);
  EXPECT_TRUE(g.form.Timer5.Enabled) << "the late display tick starts the launch timer again";

  // Between games it still flies, and a hit counts for nothing but the sound and the picture.
  waitForLaunch(g);
  flyIntoView(g);
  shootBird(g);
  EXPECT_EQ(g.counter(), "120");
  EXPECT_EQ(g.form.Label12.Caption, "");
  EXPECT_EQ(g.form.Image3.Picture, g.form.Image4.Picture);
  EXPECT_EQ(g.soundIds().back(), 9);
}

TEST(BonusItem, AStopInFlightFreezesTheBirdInView) {
  Play g;
  g.start();
  waitForLaunch(g);
  flyIntoView(g);
  const float left = g.form.Image3.Left;
  g.start();
  g.driver.advance(60000);
  EXPECT_EQ(g.form.Image3.Left, left);
}

TEST(Shots, BackgroundShotsMarkByBandAndCountAcrossGames) {
  Play g;
  const forms::MarksLayer& marks = g.form.marks();
  // Sky, the band just above the fence, the grass.
  g.driver.click(1500, 900);
  EXPECT_EQ(marks.at(100, 60), kLightBlue);
  EXPECT_EQ(g.form.oldY, 900);
  g.driver.click(1500, 1300);
  EXPECT_FALSE(marks.isMarked(100, 87));
  g.driver.click(150, 3100);
  EXPECT_EQ(marks.at(10, 207), kGreen);
  EXPECT_EQ(g.soundIds(), (std::vector<int>{7, 7, 7}));

  // A double click counts two; the count runs across START and STOP.
  g.driver.doubleClick(1500, 900);
  EXPECT_EQ(g.form.clicks, 5);
  g.driver.click(1500, 900);
  g.driver.click(1500, 900);
  g.start();
  EXPECT_FALSE(marks.isMarked(100, 60)) << "START clears the marks";
  g.driver.click(1500, 900);
  g.driver.click(1500, 900);
  g.driver.click(1500, 900);  // the 10th
  EXPECT_EQ(g.soundIds().back(), 6);
  g.driver.click(1500, 900);
  EXPECT_EQ(g.soundIds().back(), 7);

  // The 80th plays 6, every later one 7, past the 16-bit limit too.
  g.form.clicks = 79;
  g.driver.click(1500, 900);
  EXPECT_EQ(g.soundIds().back(), 6);
  g.driver.click(1500, 900);
  EXPECT_EQ(g.soundIds().back(), 7);
  g.form.clicks = 32766;
  for (int i = 0; i < 5; ++i) {
    g.driver.click(1500, 900);
    EXPECT_EQ(g.soundIds().back(), 7);
  }
  EXPECT_EQ(g.form.clicks, 32767);

  // The bands end exactly at Y 1080 and 1545 (below that the fence takes the shot), and two
  // shots leave two dots, not a streak from the first.
  g.driver.click(600, 1065);
  g.driver.click(2400, 1065);
  EXPECT_EQ(marks.at(40, 71), kLightBlue);
  EXPECT_EQ(marks.at(160, 71), kLightBlue);
  EXPECT_FALSE(marks.isMarked(20, 71) || marks.isMarked(100, 71)) << "a streak from a shot";
  g.driver.click(1800, 1080);
  g.driver.click(3000, 1545);
  EXPECT_FALSE(marks.isMarked(120, 72) || marks.isMarked(200, 103));
  EXPECT_EQ(g.soundIds().back(), 7);
}

TEST(Shots, TheFenceTakesShotsInThreeBands) {
  Play g;
  g.start();  // Label2 hides, so the whole fence takes shots
  const forms::MarksLayer& fence = g.form.Picture1.marks();
  struct Band {
    double y;
    forms::Rgb colour;
    int sound;
  };
  // In the middle of each band, then on each side of its edges at 60 and 555, each shot a
  // little further right: a dot each, no streak from the last.
  double x = 600;
  for (Band b :
       {Band{1560 + 30, kLightBlue, 3}, Band{1560 + 300, kDarkRed, 3}, Band{1560 + 800, kGreen, 7},
        Band{1560 + 45, kLightBlue, 3}, Band{1560 + 60, kDarkRed, 3}, Band{1560 + 555, kDarkRed, 3},
        Band{1560 + 570, kGreen, 7}}) {
    const size_t before = g.soundCount();
    g.driver.press(x, b.y);
    EXPECT_EQ(g.soundsSince(before), std::vector<int>{b.sound}) << "sounds on the press at " << b.y;
    g.driver.release(x, b.y);
    const int px = forms::toPixels(x), py = forms::toPixels(b.y - 1560);
    EXPECT_EQ(fence.at(px, py), b.colour) << b.y;
    EXPECT_FALSE(fence.isMarked(px - 20, py)) << "a streak from the last shot";
    x += 600;
  }

  // The next game starts with a clean fence, the top and bottom strips too, which the message
  // label between games does not cover.
  g.start();
  g.start();
  EXPECT_FALSE(fence.isMarked(40, 2) || fence.isMarked(120, 53) || fence.isMarked(280, 38));
}

bool noFrameShows(const Form1& f) {
  for (const forms::LineControl* l :
       {&f.line1, &f.line2, &f.line3, &f.line4, &f.Line5, &f.Line6, &f.Line7, &f.Line8, &f.Line9,
        &f.Line10, &f.Line11, &f.Line12})
    if (l->Visible)
      return false;
  return true;
}

// Whether a button's frame shows raised (light top and left edges, dark bottom and right) or
// sunken (the other way round); its lines are given left, top, bottom, right.
bool frameShows(std::array<const forms::LineControl*, 4> frame, bool sunken) {
  const forms::Color light = forms::Color::rgb(255, 255, 255);
  const forms::Color dark = forms::Color::system(forms::kWindowText);
  const forms::Color topLeft = sunken ? dark : light, bottomRight = sunken ? light : dark;
  return std::all_of(frame.begin(), frame.end(), [](auto* l) -> bool { return l->Visible; }) &&
         frame[0]->BorderColor == topLeft && frame[1]->BorderColor == topLeft &&
         frame[2]->BorderColor == bottomRight && frame[3]->BorderColor == bottomRight;
}

TEST(Chrome, FramesFollowTheMouse) {
  Play g;
  const auto* f = &g.form;
  const std::array start{&f->line4, &f->line3, &f->line2, &f->line1};
  const std::array about{&f->Line8, &f->Line7, &f->Line6, &f->Line5};
  const std::array exit{&f->Line9, &f->Line10, &f->Line11, &f->Line12};
  constexpr bool kRaised = false, kSunken = true;
  EXPECT_TRUE(noFrameShows(g.form));

  g.driver.move(Play::kStartX, Play::kStartY);
  EXPECT_TRUE(frameShows(start, kRaised));
  g.driver.press(Play::kStartX, Play::kStartY);
  EXPECT_TRUE(frameShows(start, kSunken)) << "a press sinks the frame";
  // Dragged off the label the frame goes; back over it, it shows raised again.
  g.driver.move(1500, 900);
  EXPECT_TRUE(noFrameShows(g.form));
  g.driver.move(Play::kStartX, Play::kStartY);
  EXPECT_TRUE(frameShows(start, kRaised));
  g.driver.move(1500, 900);
  g.driver.release(1500, 900);  // let go elsewhere: no click
  EXPECT_FALSE(g.running());
  g.driver.move(Play::kStartX, Play::kStartY);
  g.driver.press(Play::kStartX, Play::kStartY);
  g.driver.release(Play::kStartX, Play::kStartY);
  EXPECT_TRUE(frameShows(start, kSunken)) << "and it stays sunken";
  EXPECT_TRUE(g.running()) << "the click still started a game";

  // ABOUT and the exit label: raised under the mouse, sunken while pressed, one frame at a time.
  for (auto [x, y, frame] : {std::tuple{Play::kAboutX, Play::kAboutY, about},
                             std::tuple{Play::kExitX, Play::kExitY, exit}}) {
    g.driver.move(x, y);
    EXPECT_TRUE(frameShows(frame, kRaised)) << x;
    EXPECT_FALSE(f->line1.Visible);
    g.driver.press(x, y);
    EXPECT_TRUE(frameShows(frame, kSunken)) << x;
    g.driver.move(1500, 900);
    g.driver.release(1500, 900);  // no click: the panel stays shut and the game goes on
  }
  EXPECT_TRUE(noFrameShows(g.form));
  EXPECT_FALSE(g.form.ended());
}

TEST(Chrome, TheMessageLabelTakesShotsAboveThePoint) {
  Play g;
  g.driver.click(3000, 1560 + 800);  // a green dot on the fence's bottom band, below the label
  const size_t before = g.soundCount();
  // (600, 300) inside Label2, which sits at (0, 120) in the fence.
  g.driver.press(600, 1560 + 120 + 300);
  EXPECT_EQ(g.form.oldX, 600);
  EXPECT_EQ(g.form.oldY, 300);
  EXPECT_EQ(g.soundCount(), before) << "no sound on the press";
  EXPECT_EQ(g.form.Picture1.marks().at(40, 20), (forms::Rgb{128, 64, 0})) << "brown, not green";
  g.driver.release(600, 1560 + 120 + 300);
  EXPECT_EQ(g.soundsSince(before), std::vector<int>{3});
}

TEST(AboutPanel, PausesARunningGameAndResumesWithTheNextAppearance) {
  Play g;
  g.start();
  ASSERT_TRUE(g.waitForPeak());
  const std::string counter = g.counter();
  g.about();
  EXPECT_EQ(g.form.Label9.Caption, "OK");
  EXPECT_TRUE(g.form.Shape1.Visible);
  EXPECT_TRUE(g.form.Label10.Visible);
  EXPECT_FALSE(g.form.Label6.Enabled);
  for (const forms::Label* l : {&g.form.Label1, &g.form.Label3, &g.form.Label4, &g.form.Label5,
                                &g.form.Label7, &g.form.Label8})
    EXPECT_FALSE(l->Visible) << l->name();
  EXPECT_EQ(g.form.Image2.Top, 1560);
  g.driver.advance(5000);
  EXPECT_EQ(g.counter(), counter) << "the target cycle is halted";

  // START/STOP is disabled: a click there is a shot at the window.
  g.start();
  EXPECT_TRUE(g.running());

  g.about();
  EXPECT_EQ(g.form.Label9.Caption, "ABOUT");
  EXPECT_TRUE(g.form.Timer1.Enabled);
  EXPECT_FALSE(g.form.Timer2.Enabled || g.form.Timer3.Enabled || g.form.Timer4.Enabled);
  g.driver.advance(400);
  EXPECT_EQ(std::stod(g.counter()), std::stod(counter) - 1);
}

TEST(AboutPanel, ABonusHitBehindTheOpenPanelRaisesTheHiddenCounter) {
  Play g;
  g.start();
  waitForLaunch(g);
  g.about();
  flyIntoView(g);
  const std::string counter = g.counter();
  shootBird(g);
  EXPECT_EQ(std::stod(g.counter()), std::stod(counter) + 5);
  EXPECT_EQ(g.form.Label12.Caption, "+05");
}

TEST(AboutPanel, WithNoGameItOnlyTogglesThePanel) {
  Play g;
  g.about();
  const auto& commands = g.host.lastFrame()->commands;
  EXPECT_TRUE(std::any_of(commands.begin(), commands.end(), [&](const auto& c) {
    const auto* fill = std::get_if<forms::FillRect>(&c);
    return fill && fill->rect == g.form.Shape1.windowPixels() &&
           fill->color == forms::Rgb{255, 255, 255};
  })) << "the panel's text stands on white";
  g.about();
  EXPECT_EQ(g.form.nextTimerDue(), std::nullopt);
  EXPECT_TRUE(g.form.Label6.Enabled);
  EXPECT_FALSE(g.form.Shape1.Visible);
}

}  // namespace
