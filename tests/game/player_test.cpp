// A person at the mouse: how long the figures stay up for someone who needs time to see and aim,
// and what a press held down too long does.
#include "play.h"

namespace {

constexpr double kFenceTop = 1560;

// Runs the game one timer tick at a time until the figure shows above the fence, rising or
// sinking; returns the moment it first showed.
forms::Millis waitForFigure(Play& g) {
  while (!(g.targetMoving() && g.form.Image2.Top < kFenceTop)) {
    std::optional<forms::Millis> next = g.form.nextTimerDue();
    if (!next) {
      ADD_FAILURE() << "nothing runs: no figure will come";
      return g.host.now();
    }
    g.driver.advanceTo(*next);
  }
  return g.host.now();
}

// The middle of what shows of the figure above the fence, well below where the bird flies.
std::pair<double, double> visibleMiddle(const Play& g) {
  return {g.form.Image2.Left + 270, (g.form.Image2.Top + kFenceTop) / 2};
}

// A player who needs `reactionMs` from seeing a figure to pressing on it, aiming at where it is
// by then. Returns whether the shot scored.
bool shootAfterSeeing(Play& g, forms::Millis reactionMs) {
  const forms::Millis seen = waitForFigure(g);
  g.driver.advanceTo(seen + reactionMs);
  const std::string before = g.score() + "/" + g.level();
  auto [x, y] = visibleMiddle(g);
  g.driver.click(x, y);
  return g.score() + "/" + g.level() != before;
}

// How long a figure stays above the fence, from the tick that raises it into view to the tick
// that puts it back.
forms::Millis shownFor(Play& g) {
  const forms::Millis shown = waitForFigure(g);
  while (g.form.Image2.Top < kFenceTop)
    g.driver.advanceTo(*g.form.nextTimerDue());
  return g.host.now() - shown;
}

TEST(APlayer, WhoNeedsHalfASecondToAimHitsEveryFigureOfLevelsOneAndTwo) {
  Play g;
  g.start();
  for (int figure = 1; figure <= 20; ++figure) {
    const std::string level = g.level();
    EXPECT_TRUE(shootAfterSeeing(g, 500)) << "figure " << figure << " at level " << level;
  }
  EXPECT_EQ(g.level(), "3");
  EXPECT_EQ(g.counter(), "80");
}

TEST(APlayer, SeesTheFiguresGetQuickerLevelByLevelButNeverTooQuickToSee) {
  Play g;
  g.start();
  std::vector<forms::Millis> shown;
  for (const char* level : {"1", "2", "3", "4", "5"}) {
    ASSERT_EQ(g.level(), level);
    shown.push_back(shownFor(g));
    while (g.level() == level)
      g.shootTarget();
  }
  for (size_t i = 1; i < shown.size(); ++i)
    EXPECT_LT(shown[i], shown[i - 1]) << "level " << i + 1 << " is no quicker than " << i;
  EXPECT_GE(shown.front(), 900) << "level 1 gives a beginner about a second";
  EXPECT_GE(shown.back(), 300) << "a level-5 figure must still show for a third of a second";
}

TEST(APlayer, QuickClickOnARisingFigureHits) {
  Play g;
  g.start();
  waitForFigure(g);
  ASSERT_TRUE(g.form.Timer2.Enabled) << "still rising";
  auto [x, y] = visibleMiddle(g);
  g.driver.click(x, y);
  EXPECT_EQ(g.score(), "10");
}

TEST(APlayer, HoldingTheButtonWhileTheFigureSinksAwayScoresNothing) {
  Play g;
  g.start();
  waitForFigure(g);
  while (!g.form.Timer3.Enabled)
    g.driver.advanceTo(*g.form.nextTimerDue());
  auto [x, y] = visibleMiddle(g);
  g.driver.press(x, y);
  while (g.form.Image2.Top < y)
    g.driver.advanceTo(*g.form.nextTimerDue());
  g.driver.release(x, y);
  EXPECT_EQ(g.score(), "0");
  EXPECT_FALSE(g.form.Timer4.Enabled);

  // Held through the pause after a hit until the figure is gone: no second score.
  ASSERT_TRUE(shootAfterSeeing(g, 100));
  waitForFigure(g);
  auto [hx, hy] = visibleMiddle(g);
  g.driver.click(hx, hy);
  ASSERT_EQ(g.score(), "20");
  g.driver.press(hx, hy);
  g.driver.advance(700);
  ASSERT_TRUE(g.form.Timer1.Enabled) << "the pause is over and the figure gone";
  g.driver.release(hx, hy);
  EXPECT_EQ(g.score(), "20");
  EXPECT_TRUE(g.form.Timer1.Enabled);
  EXPECT_FALSE(g.form.Timer4.Enabled);
}

TEST(APlayer, HoldingTheButtonPastTheEndOfTheGameStartsNothing) {
  Play g;
  g.start();
  while (g.counter() != "1" || !g.targetMoving())
    g.driver.advanceTo(*g.form.nextTimerDue());
  waitForFigure(g);
  auto [x, y] = visibleMiddle(g);
  g.driver.press(x, y);  // on the last figure of the game, and held
  while (g.running())
    g.driver.advanceTo(*g.form.nextTimerDue());
  ASSERT_EQ(g.form.Label2.Caption, "Game over");
  const size_t clips = g.host.clips().size();
  g.driver.release(x, y);

  EXPECT_EQ(g.score(), "0");
  EXPECT_EQ(g.counter(), "120");
  for (const forms::Timer* t : {&g.form.Timer1, &g.form.Timer2, &g.form.Timer3, &g.form.Timer4})
    EXPECT_FALSE(t->Enabled) << t->name();
  g.driver.advance(120 * 1000);
  EXPECT_FALSE(g.running()) << "a game started by itself";
  EXPECT_EQ(g.host.clips().size(), clips) << "the cursor was caught again";
}

}  // namespace
