// Hits, scoring, levels and the win, played on the headless host.
#include "play.h"

namespace {

// Plays scoring hits, one per appearance, until the score reads `score` at the current level.
void scoreUpTo(Play& g, const std::string& score) {
  while (g.score() != score) {
    g.shootTarget();
    ASSERT_LT(g.host.now(), 30 * 60 * 1000) << "the game never got there";
  }
}

TEST(Hits, AHitScoresTenAndAHitInThePauseScoresNothing) {
  Play g;
  g.start();
  g.shootTarget();
  EXPECT_EQ(g.score(), "10");
  EXPECT_EQ(g.counter(), "99") << "a hit never changes the counter";
  EXPECT_EQ(g.form.Image2.Picture, g.form.Image1.Picture) << "the hit picture shows";
  EXPECT_TRUE(g.form.Timer4.Enabled);
  EXPECT_FALSE(g.targetMoving());
  const float top = g.form.Image2.Top;

  g.driver.advance(100);
  g.clickTarget();  // still standing where it was hit
  EXPECT_EQ(g.score(), "10");
  EXPECT_EQ(g.form.Image2.Top, top);

  // The pause ends 600 ms after the hit with sound 1 or 2, the target gone behind the fence;
  // the next one comes 400 ms later at a new place.
  const size_t before = g.soundCount();
  g.driver.advance(500);
  ASSERT_EQ(g.soundCount(), before + 1);
  const int pauseSound = g.soundIds().back();
  EXPECT_TRUE(pauseSound == 1 || pauseSound == 2);
  EXPECT_EQ(g.form.Image2.Top, 1560);
  g.driver.advance(399);
  EXPECT_EQ(g.counter(), "99");
  g.driver.advance(1);
  EXPECT_EQ(g.counter(), "98");
  EXPECT_EQ(g.form.Image2.Picture, g.form.Image7.Picture);
}

TEST(Hits, ThePauseEndsInSoundOneOrTwoEvenAtTheEndsOfTheRandomRange) {
  Play g;
  g.start();
  for (float r : {0.99999994f, 0.0f, 0.5f, 0.49999997f}) {
    g.shootTarget();
    g.host.queueRnd({r});
    const size_t before = g.soundCount();
    g.driver.advance(600);
    const int expected = r < 0.5f ? 1 : 2;
    EXPECT_EQ(g.soundsSince(before), std::vector<int>{expected}) << "draw " << r;
  }
}

TEST(Hits, ADoubleClickIsTwoHitsTheSecondInThePause) {
  Play g;
  g.start();
  scoreUpTo(g, "40");
  ASSERT_TRUE(g.waitForPeak());
  const size_t before = g.soundCount();
  g.doubleClickTarget();
  EXPECT_EQ(g.score(), "50");
  EXPECT_EQ(g.soundsSince(before), (std::vector<int>{7, 7}));
}

TEST(Hits, TheTenthHitRaisesTheLevelAndTheFigureChangesWithTheNextAppearance) {
  Play g;
  g.start();
  scoreUpTo(g, "90");
  EXPECT_EQ(g.level(), "1");
  ASSERT_TRUE(g.waitForPeak());
  const size_t before = g.soundCount();
  g.clickTarget();
  EXPECT_EQ(g.level(), "2");
  EXPECT_EQ(g.score(), "0");
  EXPECT_EQ(g.form.speed, 90);
  EXPECT_EQ(g.soundsSince(before), (std::vector<int>{7, 4}));

  // Levels 2 and 3: figure set 1 until the first appearance of level 3.
  scoreUpTo(g, "90");
  g.shootTarget();
  EXPECT_EQ(g.level(), "3");
  EXPECT_EQ(g.form.speed, 108);
  EXPECT_EQ(g.form.Image2.Picture, g.form.Image8.Picture) << "the old set's hit picture";
  EXPECT_EQ(g.form.Image7.Picture, g.form.Image6.Picture);
  g.driver.advance(1000);
  EXPECT_EQ(g.form.Image7.Picture, g.form.Image9.Picture);
  EXPECT_EQ(g.form.Image1.Picture, g.form.Image10.Picture);
  EXPECT_EQ(g.form.Image2.Picture, g.form.Image9.Picture);
}

TEST(Hits, ADoubleClickWhoseFirstHalfReaches90RaisesTheLevelAtOnce) {
  Play g;
  g.start();
  scoreUpTo(g, "80");
  ASSERT_TRUE(g.waitForPeak());
  g.doubleClickTarget();
  EXPECT_EQ(g.level(), "2");
  EXPECT_EQ(g.score(), "0");
  EXPECT_EQ(g.form.speed, 90);
}

TEST(Hits, ClearingLevelFiveWinsTheGame) {
  using assets::Pic;
  Play g;
  g.start();
  // Levels 1 and 2 show the first figure, 3 and 4 the second; every level-up has its fanfare.
  for (auto [next, figure, hit] : {std::tuple{"2", Pic::Figure1, Pic::Figure1Hit},
                                   {"3", Pic::Figure1, Pic::Figure1Hit},
                                   {"4", Pic::Figure2, Pic::Figure2Hit},
                                   {"5", Pic::Figure2, Pic::Figure2Hit}}) {
    ASSERT_TRUE(g.waitForPeak());
    EXPECT_TRUE(Play::shows(g.form.Image2.Picture, figure)) << "level " << g.level();
    scoreUpTo(g, "90");
    ASSERT_TRUE(g.waitForPeak());
    const size_t before = g.soundCount();
    g.clickTarget();
    EXPECT_TRUE(Play::shows(g.form.Image2.Picture, hit)) << "level-up to " << next;
    EXPECT_EQ(g.soundsSince(before), (std::vector<int>{7, 4})) << "level-up to " << next;
    ASSERT_EQ(g.level(), next);
  }
  ASSERT_TRUE(g.waitForPeak());
  EXPECT_TRUE(Play::shows(g.form.Image2.Picture, Pic::Figure3)) << "the third figure at level 5";
  EXPECT_EQ(g.form.speed, 180);

  // A hit in the pause at score 90 never wins: the pause gives no points.
  scoreUpTo(g, "90");
  EXPECT_TRUE(Play::shows(g.form.Image2.Picture, Pic::Figure3Hit));
  g.driver.advance(100);
  g.clickTarget();
  EXPECT_TRUE(g.running());
  EXPECT_EQ(g.score(), "90");

  ASSERT_TRUE(g.waitForPeak());
  const size_t before = g.soundCount();
  g.clickTarget();
  EXPECT_EQ(g.soundsSince(before), (std::vector<int>{7, 5, 4}));
  EXPECT_EQ(g.form.Label2.Caption, "Vyhrál jsi");
  EXPECT_TRUE(g.form.Label2.Visible);
  EXPECT_EQ(g.form.won, 0);
  EXPECT_EQ(g.level(), "1");
  EXPECT_EQ(g.score(), "0");
  EXPECT_EQ(g.counter(), "120");
  EXPECT_EQ(g.form.Image2.Top, 1560);
  EXPECT_EQ(g.host.clips().back(), std::nullopt);

  // No target and no post-hit sound afterwards.
  const size_t after = g.soundCount();
  g.driver.advance(5000);
  EXPECT_EQ(g.soundCount(), after);
  EXPECT_EQ(g.form.Image2.Top, 1560);

  // The next game starts clean: the first figure and its hit picture again, and its STOP reads
  // "Game over".
  g.start();
  ASSERT_TRUE(g.waitForPeak());
  EXPECT_TRUE(Play::shows(g.form.Image2.Picture, Pic::Figure1));
  g.clickTarget();
  EXPECT_TRUE(Play::shows(g.form.Image2.Picture, Pic::Figure1Hit));
  g.start();
  EXPECT_EQ(g.form.Label2.Caption, "Game over");
}

}  // namespace
