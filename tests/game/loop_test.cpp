// The program's own loop, vombrel::run, on the headless host: input queued in the host arrives
// in order, time runs from timer deadline to timer deadline, and the loop ends with the window.
#include <gtest/gtest.h>

#include "app/form1.h"
#include "app/game_loop.h"
#include "play.h"

namespace {

forms::MouseInput at(forms::MouseInput::Type type, double xTwips, double yTwips) {
  forms::MouseInput in;
  in.type = type;
  in.x = xTwips / forms::kTwipsPerPixel;
  in.y = yTwips / forms::kTwipsPerPixel;
  return in;
}

void queueClick(headless::HeadlessHost& host, double xTwips, double yTwips) {
  host.queueEvent(at(forms::MouseInput::Type::Down, xTwips, yTwips));
  host.queueEvent(at(forms::MouseInput::Type::Up, xTwips, yTwips));
}

TEST(TheLoop, PlaysStartAHitAndTheCloseBoxInOrder) {
  headless::HeadlessHost host;
  queueClick(host, Play::kStartX, Play::kStartY);
  bool shot = false, closed = false;
  std::string scoreAtClose;
  const int status = vombrel::run(host, [&](const Form1& form) {
    // The loop watches the game after every round of timers: shoot the first figure at its
    // peak, and close the window once the hit has scored.
    if (!shot && form.Image2.Top == 1020) {
      queueClick(host, form.Image2.Left + 270, form.Image2.Top + 400);
      shot = true;
    } else if (shot && !closed && form.Label1.Caption.get() == "10") {
      scoreAtClose = form.Label1.Caption;
      host.queueEvent(platform::CloseRequest{});
      closed = true;
    }
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(closed) << "the hit never scored";
  EXPECT_EQ(scoreAtClose, "10");
  ASSERT_TRUE(host.setup());
  EXPECT_EQ(host.setup()->title, "Vombrel !!!!");
  EXPECT_EQ(host.setup()->clientWidth, 304);
  EXPECT_EQ(host.setup()->clientHeight, 213);
  EXPECT_TRUE(sameBytes(host.setup()->icon, assets::picture(assets::Pic::Icon)));
  EXPECT_TRUE(sameBytes(host.setup()->cursor, assets::picture(assets::Pic::GunSight)));
  EXPECT_EQ(host.showCount(), 1);
  // START's sound, then the shot; the cursor caught at START and freed by the close box.
  ASSERT_GE(host.sounds().size(), 2u);
  ASSERT_EQ(host.clips().size(), 2u);
  EXPECT_TRUE(host.clips().front().has_value());
  EXPECT_FALSE(host.clips().back().has_value());
}

TEST(TheLoop, EndsWithOneWhenTheWindowCannotOpen) {
  headless::HeadlessHost host;
  ASSERT_TRUE(host.open({"taken", 10, 10, {}, {}}).ok());
  EXPECT_EQ(vombrel::run(host), 1);
  EXPECT_EQ(host.showCount(), 0);
  EXPECT_EQ(host.renderCount(), 0);
}

}  // namespace
