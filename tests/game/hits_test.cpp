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
  Play g;
  g.start();
  for (const char* next : {"2", "3", "4", "5"}) {
    scoreUpTo(g, "90");
    g.shootTarget();
    ASSERT_EQ(g.level(), next);
  }
  g.driver.advance(1000);
  EXPECT_EQ(g.form.Image7.Picture, g.form.Image11.Picture) << "figure set 3 at level 5";
  EXPECT_EQ(g.form.speed, 180);

  // A hit in the pause at score 90 never wins: the pause gives no points.
  scoreUpTo(g, "90");
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

  // The next game's STOP reads "Game over" again.
  g.start();
  g.start();
  EXPECT_EQ(g.form.Label2.Caption, "Game over");
}

}  // namespace
