// End-to-end tests: the real vombrel binary on the current X display, driven by real mouse
// events from xdotool and checked by what reaches the screen (pixels of the window), the
// pointer (where the server lets it go) and the speakers (SDL's disk audio driver writes the
// game's sound output to a file).
//
// They need an X server with a 24-bit screen; scripts/test.sh starts Xvfb and runs them one at
// a time, since they move the one mouse pointer there is. With VOMBREL_E2E_WINDOW_MANAGER set
// (ctest runs them so a second time) they play on a desktop of their own instead, as players
// have one: openbox, and another program's window beside the game. Set
// VOMBREL_SCREENSHOT=<file.png> to keep the screenshot of the opening scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>

#include "forms/environment.h"
#include "tests/support/child_process.h"
#include "tests/support/x11_probe.h"

using namespace std::chrono_literals;
using support::Box;
using support::Image;
using support::Point;
using support::Rgb;

namespace {

const char* const kTitle = "Vombrel !!!!";
constexpr int kClientWidth = 304, kClientHeight = 213;

// Where things are, in client pixels.
const Point kStartButton{52, 190}, kAboutButton{132, 190}, kExitButton{232, 189};
const Box kAboveFence{0, 68, kClientWidth - 1, 103};     // where the target stands when up
const Box kHighAboveFence{0, 68, kClientWidth - 1, 80};  // reached only near the peak
const Box kFence{0, 104, kClientWidth - 1, 163};
const Box kTitleBox{0, 112, 302, 149};  // the message label on the fence
const Box kStartBox{16, 183, 89, 196}, kAboutBox{96, 183, 169, 196}, kExitBox{176, 182, 288, 195};
const Box kAppearancesCaption{8, 0, 54, 12}, kLevelCaption{240, 0, 275, 12},
    kScoreCaption{240, 16, 272, 28};
const Box kScoreValue{276, 14, kClientWidth - 1, 30};  // right-aligned, ends near x 297
constexpr int kTargetSize = 36;

bool isSky(Rgb p) {
  return p == Rgb{127, 216, 255};
}
bool isCyan(Rgb p) {
  return p.r < 64 && p.g > 200 && p.b > 200;
}
bool isRed(Rgb p) {
  return p.r > 180 && p.g < 90 && p.b < 90;
}
bool isInk(Rgb p) {
  return p.r < 40 && p.g < 40 && p.b < 40;
}  // black text, not the seams
bool isBrown(Rgb p) {
  return p.r > p.g && p.g > p.b;
}

// Polls until done() holds or the timeout passes; returns whether it held.
template <class Done>
bool pollUntil(std::chrono::milliseconds timeout, Done done) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(2ms);
  }
}

// The leftmost and rightmost columns inside the box that hold a pixel the predicate picks.
template <class Pred>
std::optional<std::pair<int, int>> columns(const Image& image, const Box& box, Pred pred) {
  std::optional<std::pair<int, int>> span;
  for (int y = box.top; y <= box.bottom && y < image.height; ++y) {
    for (int x = box.left; x <= box.right && x < image.width; ++x) {
      if (pred(image.at(x, y))) {
        span =
            span ? std::pair{std::min(span->first, x), std::max(span->second, x)} : std::pair{x, x};
      }
    }
  }
  return span;
}

bool isWhite(Rgb p) {
  return p == Rgb{255, 255, 255};
}
bool notSky(Rgb p) {
  return !isSky(p);
}

// Bytes of the audio output that are not silence: 0 is silence for signed 16-bit samples, 0x80
// for unsigned 8-bit ones, whichever the mixer chose.
int soundBytes(const std::string& audioFile) {
  std::string bytes = support::readFile(audioFile);
  return static_cast<int>(std::count_if(bytes.begin(), bytes.end(), [](char c) {
    return c != 0 && static_cast<unsigned char>(c) != 0x80;
  }));
}

// The first target's left edge in client pixels. The game's random source is never seeded,
// so the real program, too, must put its first target at the first value of the sequence.
double firstTargetLeft() {
  forms::RandomSequence unseeded;
  return std::floor(unseeded.next() * 3960.0 + 1) / 15;
}

// How many pixels inside the box differ between two shots of the window.
int changed(const Image& before, const Image& after, const Box& box) {
  int n = 0;
  for (int y = box.top; y <= box.bottom; ++y) {
    for (int x = box.left; x <= box.right; ++x) {
      n += before.at(x, y) == after.at(x, y) ? 0 : 1;
    }
  }
  return n;
}

std::string lowerCase(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

class WindowManagedDesktop : public ::testing::Environment {
 public:
  void SetUp() override {
    if (std::getenv("VOMBREL_E2E_WINDOW_MANAGER") == nullptr) {
      return;
    }
    server_ = std::make_unique<support::ScaledXServer>(96, "", Point{1024, 768}, "openbox");
    ASSERT_EQ(server_->error(), "");
    setenv("DISPLAY", server_->display().c_str(), 1);
    x_ = std::make_unique<support::XProbe>();
    x_->openWindow();
  }

 private:
  std::unique_ptr<support::ScaledXServer> server_;
  std::unique_ptr<support::XProbe> x_;  // keeps the other program's window
};
[[maybe_unused]] const auto* const kDesktop =
    ::testing::AddGlobalTestEnvironment(new WindowManagedDesktop);

// One running game with its window found.
class RunningGame : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.connected()) << x_.error();
    ASSERT_FALSE(audio_.path().empty() || log_.path().empty()) << "cannot create files in /tmp";
    support::ChildOptions options;
    options.env = {{"SDL_AUDIODRIVER", "disk"},
                   {"SDL_DISKAUDIOFILE", audio_.path()},
                   {"LSAN_OPTIONS", VOMBREL_LSAN_OPTIONS}};
    options.outputFile = log_.path();
    game_ = std::make_unique<support::ChildProcess>(VOMBREL_BINARY, options);
    ASSERT_TRUE(game_->started()) << game_->error();
    std::optional<support::WindowId> w = x_.findWindow(game_->pid(), kTitle, 20s);
    ASSERT_TRUE(w) << "no window \"" << kTitle << "\" showed; the game said:\n" << output();
    window_ = *w;
    // The window maps before its first frame is drawn; open sky says the scene is there.
    pollUntil(10s, [&] {
      Image now = shot();
      return now.width > 150 && now.height > 70 && isSky(now.at(150, 70));
    });
    // SDL drops a click that comes within a few milliseconds of the window getting the focus
    // (the click that activated it); a player is never that quick, the test would be.
    pollUntil(10s, [&] { return x_.hasFocus(window_); });
    std::this_thread::sleep_for(100ms);
  }

  std::string output() const { return support::readFile(log_.path()); }
  Image shot() { return x_.capture(window_); }

  // A real press and release of the left button at a client pixel.
  bool clickAt(int x, int y) {
    Point origin = x_.origin(window_);
    return support::xdotool(
        {"mousemove", std::to_string(origin.x + x), std::to_string(origin.y + y), "click", "1"});
  }
  bool moveTo(int x, int y) {
    Point origin = x_.origin(window_);
    return support::xdotool(
        {"mousemove", std::to_string(origin.x + x), std::to_string(origin.y + y)});
  }
  bool moveBy(int dx, int dy) {
    return support::xdotool({"mousemove_relative", "--", std::to_string(dx), std::to_string(dy)});
  }
  bool pointerInWindow() {
    Point p = x_.pointer();
    Point origin = x_.origin(window_);
    return p.x >= origin.x && p.x < origin.x + kClientWidth && p.y >= origin.y &&
           p.y < origin.y + kClientHeight;
  }

  support::XProbe x_;
  support::TempFile audio_{"vombrel-e2e-audio"};
  support::TempFile log_{"vombrel-e2e-log"};
  std::unique_ptr<support::ChildProcess> game_;
  support::WindowId window_ = 0;
};

TEST_F(RunningGame, OpensOnTheLandscapeWithFenceTitleButtonsAndCounters) {
  Point size = x_.size(window_);
  EXPECT_EQ(size.x, kClientWidth);
  EXPECT_EQ(size.y, kClientHeight);
  Image scene = shot();
  ASSERT_EQ(scene.width, kClientWidth);
  ASSERT_EQ(scene.height, kClientHeight);
  if (const char* path = std::getenv("VOMBREL_SCREENSHOT")) {
    EXPECT_EQ(scene.savePng(path), "");
  }

  EXPECT_TRUE(isSky(scene.at(150, 70)));
  EXPECT_EQ(scene.count(kAboveFence, isSky), 304 * 36) << "something stands above the fence";

  int fencePixels = 304 * 60;
  EXPECT_EQ(scene.count(kFence, isSky), 0) << "the fence has gaps";
  EXPECT_GT(scene.count(kFence, isBrown), fencePixels / 2) << "the fence is not wooden";

  EXPECT_GT(scene.count(kStartBox, isCyan), 30) << "START";
  EXPECT_GT(scene.count(kAboutBox, isCyan), 30) << "ABOUT";
  EXPECT_GT(scene.count(kExitBox, isCyan), 60) << "Ukončit program";

  EXPECT_GT(scene.count(kAppearancesCaption, isRed), 20) << "Pokusů:";
  EXPECT_GT(scene.count(kLevelCaption, isRed), 15) << "Level:";
  EXPECT_GT(scene.count(kScoreCaption, isRed), 15) << "Body:";

  // The title is written large across the middle of the fence.
  EXPECT_GT(scene.count(kTitleBox, isInk), 300);
  auto ink = columns(scene, kTitleBox, isInk);
  ASSERT_TRUE(ink);
  EXPECT_LT(ink->first, 110);
  EXPECT_GT(ink->second, 190);
}

TEST(WithoutDisplay, ExitsWithAnErrorThatNamesTheDisplay) {
  support::TempFile log("vombrel-e2e-log");
  support::ChildOptions options;
  options.env = {{"DISPLAY", std::nullopt},
                 {"WAYLAND_DISPLAY", std::nullopt},
                 {"SDL_VIDEODRIVER", std::nullopt}};
  options.outputFile = log.path();
  support::ChildProcess game(VOMBREL_BINARY, options);
  ASSERT_TRUE(game.started()) << game.error();
  std::optional<int> status = game.waitExit(10s);
  ASSERT_TRUE(status) << "the game keeps running without a display";
  EXPECT_NE(*status, 0);
  std::string said = support::readFile(log.path());
  EXPECT_NE(lowerCase(said).find("display"), std::string::npos) << said;
}

TEST_F(RunningGame, CloseBoxEndsTheProgramWithSuccess) {
  ASSERT_TRUE(x_.requestClose(window_)) << "the window does not take WM_DELETE_WINDOW";
  std::optional<int> status = game_->waitExit(10s);
  ASSERT_TRUE(status) << "the game keeps running after its window was closed";
  EXPECT_EQ(*status, 0) << output();
}

TEST_F(RunningGame, PlaysAGameFromStartToStop) {
  EXPECT_EQ(soundBytes(audio_.path()), 0) << "a sound played before START";

  // START: its sound reaches the output, and the first target comes up at its fixed place.
  ASSERT_TRUE(clickAt(kStartButton.x, kStartButton.y));
  bool heard = false;
  std::optional<Image> firstSight;
  auto firstSeenAt = std::chrono::steady_clock::now();
  pollUntil(5s, [&] {
    heard = heard || soundBytes(audio_.path()) > 0;
    if (!firstSight) {
      Image now = shot();
      if (now.count(kAboveFence, notSky) > 0) {
        firstSight = now;
        firstSeenAt = std::chrono::steady_clock::now();
      }
    }
    return heard && firstSight;
  });
  EXPECT_TRUE(heard) << "START made no sound";
  ASSERT_TRUE(firstSight) << "no target came up above the fence";
  auto target = columns(*firstSight, kAboveFence, notSky);
  EXPECT_NEAR(target->first, firstTargetLeft(), 1.0);
  EXPECT_LE(target->second - target->first + 1, kTargetSize);

  // Half a second after it came up, the figure still stands above the fence: time enough for a
  // person to see it and aim. A real click on it then scores 10.
  std::this_thread::sleep_until(firstSeenAt + 500ms);
  Image halfASecondLater = shot();
  auto standing = columns(halfASecondLater, kAboveFence, notSky);
  ASSERT_TRUE(standing) << "the figure was gone within half a second";
  std::optional<std::pair<int, int>> scoreBefore = columns(halfASecondLater, kScoreValue, isRed);
  ASSERT_TRUE(scoreBefore) << "no score shows during a game";
  ASSERT_TRUE(clickAt((standing->first + standing->second) / 2, 100));
  std::optional<Image> afterHit;
  pollUntil(1s, [&] {
    Image now = shot();
    auto score = columns(now, kScoreValue, isRed);
    if (score && score->first < scoreBefore->first - 2) {
      afterHit = now;
    }
    return afterHit.has_value();
  });
  ASSERT_TRUE(afterHit) << "the shot at the figure did not score";
  EXPECT_GT(afterHit->count({standing->first, 68, standing->second, 103}, isRed), 0)
      << "the figure does not show that it was hit";

  // The pointer cannot leave the window while a game runs, nor be set outside it after the shot
  // as a tablet or a touch screen sets it.
  ASSERT_TRUE(moveBy(3000, 3000));
  EXPECT_TRUE(pollUntil(2s, [&] { return pointerInWindow(); }))
      << "the pointer left the window during a game";
  ASSERT_TRUE(support::xdotool({"mousemove", "0", "0"}));
  EXPECT_TRUE(pollUntil(2s, [&] { return pointerInWindow(); }))
      << "an absolute move took the pointer off the window";

  // STOP: "Game over" on the fence, and the pointer is free again.
  int inkDuringGame = shot().count(kTitleBox, isInk);
  ASSERT_TRUE(clickAt(kStartButton.x, kStartButton.y));
  EXPECT_TRUE(pollUntil(3s, [&] { return shot().count(kTitleBox, isInk) > inkDuringGame + 150; }))
      << "no message on the fence after STOP";
  ASSERT_TRUE(moveBy(3000, 3000));
  EXPECT_TRUE(pollUntil(2s, [&] { return !pointerInWindow(); }))
      << "the pointer stays confined after STOP";
}

TEST_F(RunningGame, HoverFramesTheButtonUnderThePointer) {
  // START's frame has its top edge on row 176 and its bottom edge on row 200.
  const Box startTop{16, 175, 88, 177}, startBottom{16, 199, 88, 201};
  const Box aboutTop{96, 175, 168, 177};
  auto raised = [&](const Box& top) { return shot().count(top, isWhite) > 100; };
  const Image bare = shot();
  EXPECT_LT(bare.count(startTop, isWhite), 20) << "a frame shows before any hover";

  ASSERT_TRUE(moveTo(kStartButton.x, kStartButton.y));
  EXPECT_TRUE(pollUntil(2s, [&] { return raised(startTop); })) << "no raised frame on hover";
  // All four edges equally wide: rows across the top and bottom edges, columns across the sides,
  // counted where they differ from the bare grass, away from the caption.
  std::this_thread::sleep_for(100ms);
  const Image hovered = shot();
  EXPECT_EQ(changed(bare, hovered, {30, 170, 30, 182}), 2) << "top edge";
  EXPECT_EQ(changed(bare, hovered, {30, 197, 30, 207}), 2) << "bottom edge";
  EXPECT_EQ(changed(bare, hovered, {10, 190, 22, 190}), 2) << "left edge";
  EXPECT_EQ(changed(bare, hovered, {82, 190, 95, 190}), 2) << "right edge";

  // A press sinks it (dark top, light bottom) and it stays so after the release.
  ASSERT_TRUE(support::xdotool({"click", "1"}));
  EXPECT_TRUE(pollUntil(2s, [&] {
    Image now = shot();
    return now.count(startTop, isInk) > 100 && now.count(startBottom, isWhite) > 100;
  })) << "the pressed frame does not look sunken";

  // Straight onto ABOUT: its frame replaces START's. Then the bare grass hides it.
  ASSERT_TRUE(moveTo(kAboutButton.x, kAboutButton.y));
  EXPECT_TRUE(pollUntil(2s, [&] {
    Image now = shot();
    return now.count(aboutTop, isWhite) > 100 && now.count(startTop, isInk) < 20;
  }));
  ASSERT_TRUE(moveTo(kAboutButton.x, 207));
  EXPECT_TRUE(pollUntil(2s, [&] { return shot().count(aboutTop, isWhite) < 20; }));
}

TEST_F(RunningGame, StartLeavesNoScrapOfItsFrameBehind) {
  // START repaints the whole window while its pressed frame shows; moving away must then take
  // every pixel of the frame with it, for the whole game.
  const Box aroundStart{10, 170, 95, 207};
  const Image bare = shot();
  ASSERT_TRUE(clickAt(kStartButton.x, kStartButton.y));
  ASSERT_TRUE(pollUntil(2s, [&] {
    return changed(bare, shot(), {10, 170, 95, 177}) > 100;
  })) << "no frame around START";
  ASSERT_TRUE(moveTo(100, 207));
  const Box caption{30, 183, 75, 196};  // where START turns into STOP
  EXPECT_TRUE(pollUntil(2s,
                        [&] {
                          Image now = shot();
                          return changed(bare, now, aroundStart) == changed(bare, now, caption);
                        }))
      << changed(bare, shot(), aroundStart) - changed(bare, shot(), caption)
      << " pixels of the frame are left around STOP";
}

TEST_F(RunningGame, AboutOpensThePanelAndOkClosesIt) {
  const Box sky{100, 50, 200, 60};
  ASSERT_TRUE(clickAt(kAboutButton.x, kAboutButton.y));
  EXPECT_TRUE(pollUntil(2s, [&] {
    Image now = shot();
    return now.count(sky, isSky) == 0 && now.count({8, 8, 290, 96}, isRed) > 200;
  })) << "no about panel with its red text over the sky";
  // A second click within the double-click time would be a double click, which the button
  // does not answer: wait as a player would.
  std::this_thread::sleep_for(600ms);
  ASSERT_TRUE(clickAt(kAboutButton.x, kAboutButton.y));
  EXPECT_TRUE(pollUntil(2s, [&] { return shot().count(sky, isSky) == 101 * 11; }))
      << "the panel stays after OK";
}

TEST_F(RunningGame, MissedShotsLeaveDotsInTheSkyAndOnTheGrass) {
  ASSERT_TRUE(clickAt(150, 60));   // open sky: light blue, barely different from the sky
  ASSERT_TRUE(clickAt(100, 206));  // the grass between the buttons: green
  EXPECT_TRUE(pollUntil(2s, [&] {
    Image now = shot();
    return now.at(150, 60) == Rgb{128, 220, 255} && now.at(100, 206) == Rgb{0, 128, 0};
  }));
  Image dots = shot();
  EXPECT_EQ(dots.count({146, 56, 154, 64},
                       [](Rgb p) {
                         return p == Rgb{128, 220, 255};
                       }),
            21)
      << "a round dot 5 pixels across";
}

TEST_F(RunningGame, TheExitLabelEndsARunningGameAndFreesThePointer) {
  ASSERT_TRUE(clickAt(kStartButton.x, kStartButton.y));
  ASSERT_TRUE(moveBy(3000, 3000));
  ASSERT_TRUE(pollUntil(2s, [&] { return pointerInWindow(); })) << "not confined";
  ASSERT_TRUE(clickAt(kExitButton.x, kExitButton.y));
  std::optional<int> status = game_->waitExit(10s);
  ASSERT_TRUE(status) << "the game keeps running after Ukončit program";
  EXPECT_EQ(*status, 0) << output();
  ASSERT_TRUE(moveBy(3000, 3000));
  Point p = x_.pointer();
  EXPECT_TRUE(p.x > 700 || p.y > 600) << "the pointer is still held at " << p.x << "," << p.y;
}

}  // namespace
