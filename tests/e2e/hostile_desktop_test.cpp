// End-to-end: the real vombrel binary on a desktop that does not play along. Another program
// holds the pointer when the game wants it back, the desktop's scale is absurd, the display is
// not there, the terminal hangs up, the window is unmapped and mapped again. The game must keep
// its pace, fit the screen, say what failed and end cleanly.
//
// The tests on $DISPLAY share its one pointer with the other end-to-end tests and run alone; the
// scaled desktops get X servers of their own.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/x11_probe.h"

using namespace std::chrono_literals;
using support::Box;
using support::Image;
using support::Point;
using support::Rgb;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kTitle = "Vombrel !!!!";
constexpr int kClientWidth = 304, kClientHeight = 213;
const Point kStartButton{52, 190};
const Box kAboveFence{0, 68, kClientWidth - 1, 103};  // where the target stands when up
const Box kTitleBox{0, 112, 302, 149};                // the message label on the fence
constexpr int kPeakRow = 68;                          // the target's top row at its highest

bool isSky(Rgb p) {
  return p == Rgb{127, 216, 255};
}
bool notSky(Rgb p) {
  return !isSky(p);
}
bool isInk(Rgb p) {
  return p.r < 40 && p.g < 40 && p.b < 40;
}

template <class Done>
bool pollUntil(std::chrono::milliseconds timeout, Done done) {
  for (auto deadline = Clock::now() + timeout;; std::this_thread::sleep_for(2ms)) {
    if (done()) {
      return true;
    }
    if (Clock::now() >= deadline) {
      return false;
    }
  }
}

// The game started with a changed environment, its output kept. Its sound card is one that is
// not there, as on a machine without sound.
class Game {
 public:
  explicit Game(std::vector<support::EnvChange> env = {}) {
    support::ChildOptions options;
    options.env = {
        {"SDL_AUDIODRIVER", "alsa"}, {"AUDIODEV", "hw:99"}, {"LSAN_OPTIONS", VOMBREL_LSAN_OPTIONS}};
    options.env.insert(options.env.end(), env.begin(), env.end());
    options.outputFile = log_.path();
    process_ = std::make_unique<support::ChildProcess>(VOMBREL_BINARY, options);
  }
  support::ChildProcess& process() { return *process_; }
  std::string output() const { return support::readFile(log_.path()); }

 private:
  support::TempFile log_{"vombrel-e2e-log"};
  std::unique_ptr<support::ChildProcess> process_;
};

// The game's window on the probe's display, shown with its first frame and, unless a desktop
// without focus is being tried, focused.
std::optional<support::WindowId> gameWindow(support::XProbe& x, Game& game) {
  std::optional<support::WindowId> w = x.findWindow(game.process().pid(), kTitle, 20s);
  if (w) {
    pollUntil(10s, [&] {
      Image now = x.capture(*w);
      return now.width > 150 && now.height > 70 && isSky(now.at(150, 70));
    });
  }
  return w;
}

// One running game on $DISPLAY, its window shown and focused.
class HostileDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.connected()) << x_.error();
    ASSERT_TRUE(game_.process().started()) << game_.process().error();
    std::optional<support::WindowId> w = gameWindow(x_, game_);
    ASSERT_TRUE(w) << "no window showed; the game said:\n" << game_.output();
    window_ = *w;
    // SDL drops a click that comes within a few milliseconds of the window getting the focus.
    pollUntil(10s, [&] { return x_.hasFocus(window_); });
    std::this_thread::sleep_for(100ms);
  }

  Image shot() { return x_.capture(window_); }
  bool clickAt(Point at) {
    Point o = x_.origin(window_);
    return support::xdotool(
        {"mousemove", std::to_string(o.x + at.x), std::to_string(o.y + at.y), "click", "1"});
  }
  // Pushes the pointer far to the bottom right and says whether the window held it.
  bool held() {
    support::xdotool({"mousemove_relative", "--", "3000", "3000"});
    Point p = x_.pointer(), o = x_.origin(window_);
    return p.x < o.x + kClientWidth && p.y < o.y + kClientHeight;
  }
  bool heldWithin(std::chrono::milliseconds timeout) {
    return pollUntil(timeout, [&] { return held(); });
  }
  // START or STOP, whichever the button says; STOP writes its message on the fence.
  bool start() { return clickAt(kStartButton) && heldWithin(2s); }
  bool stop() {
    int ink = shot().count(kTitleBox, isInk);
    return clickAt(kStartButton) &&
           pollUntil(3s, [&] { return shot().count(kTitleBox, isInk) > ink + 150; });
  }

  support::XProbe x_;
  Game game_;
  support::WindowId window_ = 0;
};

// The target's top row above the fence; nullopt while it is behind the fence.
std::optional<int> targetTop(const Image& image) {
  for (int y = kAboveFence.top; y <= kAboveFence.bottom; ++y) {
    for (int x = kAboveFence.left; x <= kAboveFence.right; ++x) {
      if (notSky(image.at(x, y))) {
        return y;
      }
    }
  }
  return std::nullopt;
}

// The game gets the focus back while another program holds the pointer. It cannot confine the
// cursor then, but it must not stop to wait for it either: the target goes on rising and sinking
// at its 55 ms step. Once the other program lets go, the game takes the pointer.
TEST_F(HostileDesktop, AForeignGrabNeitherStallsTheGameNorKeepsTheCursorFree) {
  ASSERT_TRUE(start()) << "START did not confine the cursor";
  x_.focus(x_.root());
  ASSERT_TRUE(pollUntil(3s, [&] { return x_.grabPointer(); }))
      << "the game kept the pointer after it lost the focus";

  // The focus comes back just as a target starts to rise.
  ASSERT_TRUE(pollUntil(5s, [&] { return !targetTop(shot()); }));
  ASSERT_TRUE(pollUntil(5s, [&] { return targetTop(shot()).has_value(); })) << "no target rose";
  x_.focus(window_);

  // Every change of the scene above the fence until the target is down again.
  struct Step {
    Clock::time_point at;
    std::optional<int> top;
  };
  std::vector<Step> steps;
  Image last = shot();
  steps.push_back({Clock::now(), targetTop(last)});
  for (auto giveUp = Clock::now() + 8s; steps.back().top && Clock::now() < giveUp;) {
    Image now = shot();
    if (now.count(kAboveFence, [](Rgb) { return true; }) == 0) {
      break;  // the window is gone
    }
    if (now.pixels != last.pixels) {
      steps.push_back({Clock::now(), targetTop(now)});
      last = std::move(now);
    }
  }
  ASSERT_FALSE(steps.back().top) << "the target never went down";
  ASSERT_GE(steps.size(), 8u) << "too few steps to judge the pace";

  // A step follows the last one by 55 ms; at the peak the target stays up one step more.
  int peak = kAboveFence.bottom;
  for (const Step& s : steps) {
    peak = std::min(peak, s.top.value_or(peak));
  }
  std::chrono::milliseconds worst{0};
  for (std::size_t i = 1; i < steps.size(); ++i) {
    auto due = steps[i - 1].top == peak ? 110ms : 55ms;
    auto late =
        std::chrono::duration_cast<std::chrono::milliseconds>(steps[i].at - steps[i - 1].at) - due;
    worst = std::max(worst, late);
  }
  RecordProperty("worst_late_step_ms", static_cast<int>(worst.count()));
  EXPECT_LT(worst, 100ms) << "the game stood still for " << worst.count() << " ms";

  EXPECT_FALSE(held()) << "the cursor is held while another program holds the pointer";
  x_.ungrabPointer();
  EXPECT_TRUE(heldWithin(2s)) << "the game did not take the pointer once it was free";
  EXPECT_TRUE(stop());
  EXPECT_FALSE(held()) << "the cursor stays confined after STOP";
}
// The window is unmapped and mapped again during a game (minimised and restored, say). No one
// gives it the focus back, so the cursor is free until the player clicks into the window.
TEST_F(HostileDesktop, AClickConfinesAgainAfterTheWindowWasUnmappedAndMapped) {
  ASSERT_TRUE(start()) << "START did not confine the cursor";
  const std::string id = std::to_string(window_);
  ASSERT_TRUE(support::xdotool({"windowunmap", "--sync", id}));
  ASSERT_TRUE(support::xdotool({"windowmap", "--sync", id}));
  ASSERT_TRUE(pollUntil(5s, [&] { return isSky(shot().at(150, 70)); })) << "the scene is gone";
  EXPECT_TRUE(pollUntil(2s, [&] { return !held(); })) << "held with the focus elsewhere";

  ASSERT_TRUE(clickAt({150, 40}));  // a shot into the sky
  EXPECT_TRUE(heldWithin(2s)) << "the click did not bring the confinement back";
  EXPECT_TRUE(stop()) << "STOP does not answer";
  EXPECT_FALSE(held()) << "the cursor stays confined after STOP";
}

// A terminal that hangs up ends the game as SIGTERM does: the cursor is let go and the program
// reports success.
TEST_F(HostileDesktop, AHangUpEndsARunningGameAndFreesTheCursor) {
  ASSERT_TRUE(start()) << "START did not confine the cursor";
  const Point o = x_.origin(window_);
  ASSERT_EQ(kill(game_.process().pid(), SIGHUP), 0);
  std::optional<int> status = game_.process().waitExit(10s);
  ASSERT_TRUE(status) << "the game runs on after SIGHUP";
  EXPECT_EQ(*status, 0) << game_.output();
  // START's sound found no sound card: one line says so, and no library chimes in.
  std::string said = game_.output();
  EXPECT_NE(said.find("no sound device, playing silently"), std::string::npos) << said;
  EXPECT_EQ(said.find("ALSA lib"), std::string::npos) << said;
  support::xdotool({"mousemove_relative", "--", "3000", "3000"});
  Point p = x_.pointer();
  EXPECT_TRUE(p.x >= o.x + kClientWidth || p.y >= o.y + kClientHeight)
      << "the pointer is still held at " << p.x << "," << p.y;
}

TEST(UnreachableDisplay, TheErrorNamesTheDisplay) {
  Game game(
      {{"DISPLAY", ":1999"}, {"WAYLAND_DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", std::nullopt}});
  ASSERT_TRUE(game.process().started()) << game.process().error();
  std::optional<int> status = game.process().waitExit(10s);
  ASSERT_TRUE(status) << "the game keeps running without its display";
  EXPECT_EQ(*status, 1);
  // Libraries SDL tries may say something of their own (libwayland without XDG_RUNTIME_DIR).
  std::string said = game.output();
  std::size_t ours = said.find("vombrel:");
  ASSERT_NE(ours, std::string::npos) << said;
  EXPECT_EQ(said.substr(ours),
            "vombrel: cannot open a window: cannot connect to the X display \":1999\"\n");
}

// The desktop's scale comes from a resource any program may write. However big or senseless it
// is, the window is scaled by a whole factor that the 1024 x 768 screen holds, and at least 1.
TEST(AbsurdScale, TheWindowFitsTheScreenWhateverTheDesktopSays) {
  struct Desktop {
    int dpi;
    std::string xftDpi;  // as published; empty: the dpi itself
    int width, height;
  };
  for (const Desktop& desk : {Desktop{960, "", 912, 639}, Desktop{9600, "", 912, 639},
                              Desktop{96, "lots", 304, 213}, Desktop{96, "1e999", 304, 213}}) {
    SCOPED_TRACE(std::to_string(desk.dpi) + " dpi, Xft.dpi " + desk.xftDpi);
    support::ScaledXServer server(desk.dpi, desk.xftDpi);
    ASSERT_EQ(server.error(), "");
    Game game({{"DISPLAY", server.display()}});
    ASSERT_TRUE(game.process().started()) << game.process().error();
    std::optional<std::string> ours;
    if (const char* d = std::getenv("DISPLAY")) {
      ours = d;
    }
    setenv("DISPLAY", server.display().c_str(), 1);
    support::XProbe x;
    ours ? setenv("DISPLAY", ours->c_str(), 1) : unsetenv("DISPLAY");
    ASSERT_TRUE(x.connected()) << x.error();
    std::optional<support::WindowId> w = gameWindow(x, game);
    ASSERT_TRUE(w) << "no window showed; the game said:\n" << game.output();
    Point size = x.size(*w), o = x.origin(*w);
    EXPECT_EQ(size.x, desk.width);
    EXPECT_EQ(size.y, desk.height);
    EXPECT_TRUE(o.x >= 0 && o.y >= 0 && o.x + size.x <= 1024 && o.y + size.y <= 768)
        << "the window is off the screen at " << o.x << "," << o.y << " size " << size.x << "x"
        << size.y;
    EXPECT_FALSE(game.process().waitExit(0ms)) << game.output();
  }
}

}  // namespace
