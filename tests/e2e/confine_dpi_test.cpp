// End-to-end: the cursor confinement of the real vombrel binary on desktops scaled to 96, 120,
// 144, 168, 192 and 960 dpi (where the screen holds the window only three times over). Each scale
// gets an X server of its own (Xvfb at that dpi, with Xft.dpi in its resources, as X desktops
// publish their scale), so these tests need Xvfb, xprop and xdotool but not $DISPLAY. After a real
// click on START the pointer is pushed past every edge of the window: it must stop on the client
// area's first and last column and row, never short of them and never beyond.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/x11_probe.h"

using namespace std::chrono_literals;
using support::Point;

namespace {

struct Desktop {
  int dpi = 96;
  int width = 304, height = 213;  // the client area the game shows there, in screen pixels
};

void PrintTo(const Desktop& desk, std::ostream* out) {
  *out << desk.dpi << " dpi";
}

class ScaledDesktop : public ::testing::TestWithParam<Desktop> {
 protected:
  void SetUp() override {
    server_ = std::make_unique<support::ScaledXServer>(GetParam().dpi);
    ASSERT_EQ(server_->error(), "");
    setenv("DISPLAY", server_->display().c_str(), 1);  // for the probe, xdotool and the game
    x_ = std::make_unique<support::XProbe>();
    ASSERT_TRUE(x_->connected()) << x_->error();

    support::ChildOptions options;
    options.env = {{"SDL_AUDIODRIVER", "dummy"}, {"LSAN_OPTIONS", VOMBREL_LSAN_OPTIONS}};
    options.outputFile = log_.path();
    std::optional<support::WindowId> w = x_->startGame(game_, VOMBREL_BINARY, options);
    ASSERT_TRUE(w) << "no window showed: " << game_->error() << support::readFile(log_.path());
    window_ = *w;
  }

  // Puts the pointer on the window's centre and moves it by (dx, dy) as a mouse would; returns
  // where the server let it go.
  Point push(int dx, int dy) {
    Point o = x_->origin(window_), size = x_->size(window_);
    support::xdotool({"mousemove", std::to_string(o.x + size.x / 2),
                      std::to_string(o.y + size.y / 2), "mousemove_relative", "--",
                      std::to_string(dx), std::to_string(dy)});
    return x_->pointer();
  }

  std::unique_ptr<support::ScaledXServer> server_;
  std::unique_ptr<support::XProbe> x_;
  support::TempFile log_{"vombrel-e2e-log"};
  std::unique_ptr<support::ChildProcess> game_;
  support::WindowId window_ = 0;
};

TEST_P(ScaledDesktop, ThePointerReachesTheWholeClientAreaAndNoFurther) {
  const Desktop& desk = GetParam();
  Point size = x_->size(window_);
  ASSERT_EQ(size.x, desk.width) << "the game did not take the desktop's scale";
  ASSERT_EQ(size.y, desk.height);
  const Point o = x_->origin(window_);
  const int far = 2000;  // past any edge of the 1024 x 768 screen

  EXPECT_EQ(push(far, 0).x, 1023) << "the pointer is held before START";

  // START, clicked where it shows at this scale.
  const int scale = desk.width / 304;
  ASSERT_TRUE(support::xdotool({"mousemove", std::to_string(o.x + 52 * scale),
                                std::to_string(o.y + 190 * scale), "click", "1"}));
  auto deadline = std::chrono::steady_clock::now() + 3s;
  while (push(far, 0).x == 1023 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }

  const int centreX = o.x + size.x / 2, centreY = o.y + size.y / 2;
  Point left = push(-far, 0), right = push(far, 0), up = push(0, -far), down = push(0, far);
  EXPECT_EQ(left.x, o.x) << "first column";
  EXPECT_EQ(right.x, o.x + desk.width - 1) << "last column";
  EXPECT_EQ(up.y, o.y) << "first row";
  EXPECT_EQ(down.y, o.y + desk.height - 1) << "last row";
  EXPECT_EQ(left.y, centreY);
  EXPECT_EQ(right.y, centreY);
  EXPECT_EQ(up.x, centreX);
  EXPECT_EQ(down.x, centreX);
}

INSTANTIATE_TEST_SUITE_P(Dpi, ScaledDesktop,
                         ::testing::Values(Desktop{96, 304, 213}, Desktop{120, 304, 213},
                                           Desktop{144, 304, 213}, Desktop{168, 304, 213},
                                           Desktop{192, 608, 426}, Desktop{960, 912, 639}),
                         [](const ::testing::TestParamInfo<Desktop>& info) {
                           return std::to_string(info.param.dpi);
                         });

}  // namespace
