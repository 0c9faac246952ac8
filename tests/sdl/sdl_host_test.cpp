// The SDL host against a real X server: the window it opens, the pixels it draws, the text it
// measures, the mouse events and confinement it gives, and the sound it writes through SDL's
// disk audio driver. Needs DISPLAY (Xvfb at 96 dpi); the screen is read back through Xlib.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "assets/resources.h"
#include "forms/marks_layer.h"
#include "forms/picture.h"
#include "platform/sdl/sdl_host.h"
#include "tests/support/child_process.h"
#include "tests/support/x11_probe.h"

namespace {

using namespace std::chrono_literals;

// Opens a shown window titled after the running test, so the probe can find it.
class SdlHostTest : public testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) {
      if (std::getenv("CI") != nullptr) {
        FAIL() << "DISPLAY is not set: start Xvfb before the SDL tests";
      }
      GTEST_SKIP() << "no DISPLAY: run under xvfb-run -a -s \"-dpi 96\"";
    }
    x_ = std::make_unique<support::XProbe>();
    ASSERT_TRUE(x_->connected()) << x_->error();
  }

  void openWindow() {
    setup_.title = std::string("sdl-host-test ") +
                   testing::UnitTest::GetInstance()->current_test_info()->name();
    setup_.icon = assets::picture(assets::Pic::Icon);
    setup_.cursor = assets::picture(assets::Pic::GunSight);
    host_ = platform::createSdlHost();
    platform::Status st = host_->open(setup_);
    ASSERT_TRUE(st.ok()) << st.error;
    host_->show();
    for (int attempt = 0; attempt < 20 && !window_; ++attempt) {
      settle();
      window_ = x_->findWindow(getpid(), setup_.title, std::chrono::milliseconds(0));
    }
    ASSERT_TRUE(window_) << "the window never appeared on the X server";
  }

  // Lets the host take the X events that are waiting (map, expose, focus).
  void settle() { host_->wait(host_->now() + 100); }

  // The window's client area on the screen.
  struct Geometry {
    support::Point origin, size;
  };
  Geometry geometry() { return {x_->origin(*window_), x_->size(*window_)}; }

  struct Shot {
    support::Image image;
    forms::Rgb at(int x, int y) const {
      support::Rgb p = image.at(x, y);
      return {p.r, p.g, p.b};
    }
  };
  Shot screenshot() { return {x_->capture(*window_)}; }

  forms::Frame frame(forms::PixelRect damage) {
    forms::Frame f;
    f.width = 304;
    f.height = 213;
    f.damage = damage;
    return f;
  }

  std::unique_ptr<support::XProbe> x_;
  platform::WindowSetup setup_{"", 304, 213, {}, {}};
  std::unique_ptr<platform::BlockingHost> host_;
  std::optional<support::WindowId> window_;
};

TEST(SdlHostNoDisplay, OpenRefusesWithoutADisplay) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        platform::Status st = platform::createSdlHost()->open({"", 304, 213, {}, {}});
        std::fprintf(stderr, "%s\n", st.error.c_str());
        std::_Exit(st.ok() ? 1 : 0);
      },
      testing::ExitedWithCode(0), "cannot open a window: no display");
}

TEST(SdlHostText, MeasuresTheLabelsFontsBeforeAnyWindowExists) {
  auto host = platform::createSdlHost();
  forms::Font bold{11, true, false};
  forms::TextExtent pokusu = host->measureText(bold, "Pokusů:");
  EXPECT_NEAR(pokusu.width, 44, 1);
  EXPECT_NEAR(pokusu.height, 13, 1);  // the labels are 195 twips high
  EXPECT_LT(host->measureText(bold, "Level:").width, pokusu.width);
  EXPECT_EQ(host->measureText(bold, "").width, 0);
  EXPECT_EQ(host->measureText(bold, "").height, pokusu.height);
  // The title's 24 pt bold italic is about three times as big.
  forms::TextExtent title = host->measureText({32, true, true}, "Vombrel !!!!");
  EXPECT_GT(title.width, 150);
  EXPECT_NEAR(title.height, 37, 2);
}

TEST_F(SdlHostTest, WindowHasTheFixedClientSizeAndReportsTwips) {
  ASSERT_NO_FATAL_FAILURE(openWindow());
  Geometry g = geometry();
  EXPECT_EQ(g.size.x, 304);
  EXPECT_EQ(g.size.y, 213);

  forms::ScreenInfo screen = host_->screen();
  EXPECT_DOUBLE_EQ(screen.twipsPerPixelX, 15);
  EXPECT_DOUBLE_EQ(screen.twipsPerPixelY, 15);
  support::Point root = x_->size(x_->root());
  EXPECT_DOUBLE_EQ(screen.widthTwips, root.x * 15.0);
  EXPECT_DOUBLE_EQ(screen.heightTwips, root.y * 15.0);

  // Xvfb has no window manager and so no frame: the window is its client area.
  forms::WindowRect w = host_->windowRect();
  EXPECT_DOUBLE_EQ(w.left, g.origin.x * 15.0);
  EXPECT_DOUBLE_EQ(w.top, g.origin.y * 15.0);
  EXPECT_DOUBLE_EQ(w.width, 4560);
  EXPECT_DOUBLE_EQ(w.height, 3195);
}

// $DISPLAY pointed elsewhere for the life of the object.
class DisplayAt {
 public:
  explicit DisplayAt(const std::string& display) {
    if (const char* now = std::getenv("DISPLAY")) {
      saved_ = now;
    }
    setenv("DISPLAY", display.c_str(), 1);
  }
  ~DisplayAt() {
    if (saved_) {
      setenv("DISPLAY", saved_->c_str(), 1);
    } else {
      unsetenv("DISPLAY");
    }
  }

 private:
  std::optional<std::string> saved_;
};

// The game turns its window's twips back into screen pixels to confine the cursor, so they are
// counted at the scale the window is laid out at: at 168 dpi the window keeps its 304 pixels for
// the form's 4560 twips, at 192 dpi it doubles them. Each desktop is an X server of its own.
TEST(SdlHostScaled, CountsTwipsAtTheScaleTheWindowIsLaidOut) {
  for (auto [dpi, twips] : {std::pair{168, 15.0}, std::pair{192, 7.5}}) {
    SCOPED_TRACE(testing::Message() << dpi << " dpi");
    support::ScaledXServer server(dpi);
    ASSERT_EQ(server.error(), "");
    DisplayAt display(server.display());
    auto host = platform::createSdlHost();
    platform::Status st = host->open({"", 304, 213, {}, {}});
    ASSERT_TRUE(st.ok()) << st.error;

    forms::ScreenInfo screen = host->screen();
    EXPECT_DOUBLE_EQ(screen.twipsPerPixelX, twips);
    EXPECT_DOUBLE_EQ(screen.twipsPerPixelY, twips);
    EXPECT_DOUBLE_EQ(screen.widthTwips, 1024 * twips);
    EXPECT_DOUBLE_EQ(screen.heightTwips, 768 * twips);
    forms::WindowRect w = host->windowRect();
    EXPECT_DOUBLE_EQ(w.width, 4560);
    EXPECT_DOUBLE_EQ(w.height, 3195);
  }
}

TEST_F(SdlHostTest, RendersTheDrawListAndRepaintsOnlyTheDamage) {
  ASSERT_NO_FATAL_FAILURE(openWindow());
  auto landscape = forms::Picture::fromBytes("landscape", assets::picture(assets::Pic::Landscape));
  auto bird = forms::Picture::fromBytes("bird", assets::picture(assets::Pic::Bird));
  forms::MarksLayer marks;
  marks.resize(304, 213);
  marks.line(250, 150, 250, 150, 5, {0, 128, 0});

  forms::PixelRect all{0, 0, 304, 213};
  forms::Frame f = frame(all);
  f.commands.push_back(forms::DrawPicture{landscape, 0, 0, all});
  f.commands.push_back(forms::FillRect{{10, 60, 50, 30}, {0, 0, 255}});
  f.commands.push_back(forms::DrawPicture{bird, 10, 60, all});  // on the blue, to see through it
  f.commands.push_back(forms::DrawLine{{100, 120, 160, 120, 2}, {255, 255, 255}});
  f.commands.push_back(forms::DrawTextRun{"Pokusů:",
                                          {11, true, false},
                                          {255, 0, 0},
                                          {100, 80, 60, 13},
                                          forms::Alignment::Left,
                                          false,
                                          all});
  f.commands.push_back(forms::DrawMarks{&marks, 0, 0, all});
  host_->render(f);
  settle();

  Shot shot = screenshot();
  forms::Rgb cloud = shot.at(20, 20);
  ASSERT_EQ(shot.image.width, 304);
  ASSERT_EQ(shot.image.height, 213);
  EXPECT_EQ(shot.at(150, 100), (forms::Rgb{127, 216, 255}));  // the plain sky of the landscape
  EXPECT_EQ(shot.at(40, 80), (forms::Rgb{0, 0, 255}));
  EXPECT_EQ(shot.at(10, 60), (forms::Rgb{0, 0, 255}));  // the bird's transparent corner
  int birdDark = 0, red = 0;
  for (int y = 60; y < 70; ++y) {
    for (int x = 10; x < 20; ++x) {
      forms::Rgb p = shot.at(x, y);
      birdDark += p.r < 60 && p.g < 60 && p.b < 60;
    }
  }
  for (int y = 80; y < 93; ++y) {
    for (int x = 100; x < 160; ++x) {
      forms::Rgb p = shot.at(x, y);
      red += p.r > 200 && p.g < 80 && p.b < 80;
    }
  }
  EXPECT_GT(birdDark, 5);
  EXPECT_GT(red, 30);
  EXPECT_EQ(shot.at(130, 120), (forms::Rgb{255, 255, 255}));
  EXPECT_EQ(shot.at(130, 121), (forms::Rgb{255, 255, 255}));  // 2 pixels thick
  EXPECT_EQ(shot.at(250, 150), (forms::Rgb{0, 128, 0}));

  // Green everywhere, but only the top-left corner is damaged: the rest stays as it was.
  forms::Frame green = frame({0, 0, 20, 20});
  green.commands.push_back(forms::FillRect{all, {0, 255, 0}});
  host_->render(green);
  // A frame without damage draws nothing at all.
  forms::Frame undamaged = frame({});
  undamaged.commands.push_back(forms::FillRect{all, {255, 0, 255}});
  host_->render(undamaged);
  settle();
  shot = screenshot();
  EXPECT_EQ(shot.at(5, 5), (forms::Rgb{0, 255, 0}));
  EXPECT_EQ(shot.at(19, 19), (forms::Rgb{0, 255, 0}));
  EXPECT_EQ(shot.at(20, 20), cloud);
  EXPECT_EQ(shot.at(40, 80), (forms::Rgb{0, 0, 255}));
}

TEST_F(SdlHostTest, MouseArrivesInClientPixelsWithTheGamesButtonNumbersAndDoubleClicks) {
  ASSERT_NO_FATAL_FAILURE(openWindow());
  Geometry g = geometry();
  // In the background: SDL counts double clicks by when it takes the presses from X, so the
  // host must be waiting while they happen. SDL drops a press that comes within a few
  // milliseconds of the pointer entering the window, hence the pause after the move.
  support::ChildOptions clicks;
  clicks.args = {"xdotool", "mousemove", std::to_string(g.origin.x + 50),
                 std::to_string(g.origin.y + 60)};
  clicks.args.insert(clicks.args.end(),
                     {"sleep", "0.3", "click", "1", "sleep", "0.7", "click", "3", "sleep", "0.7",
                      "click", "--repeat", "2", "--delay", "50", "1"});
  support::ChildProcess xdotool("/usr/bin/env", clicks);
  ASSERT_TRUE(xdotool.started()) << xdotool.error();

  std::vector<forms::MouseInput> presses;
  std::vector<forms::MouseInput> releases;
  auto deadline = host_->now() + 4000;
  while (presses.size() < 4 && host_->now() < deadline) {
    platform::HostEvent e = host_->wait(deadline);
    if (auto* in = std::get_if<forms::MouseInput>(&e)) {
      if (in->type == forms::MouseInput::Type::Down) {
        presses.push_back(*in);
      } else if (in->type == forms::MouseInput::Type::Up) {
        releases.push_back(*in);
      }
    }
  }
  ASSERT_EQ(presses.size(), 4u);
  EXPECT_EQ(presses[0].button, 1);
  EXPECT_EQ(presses[1].button, 2);  // the right button is 2, as the game counts buttons
  EXPECT_DOUBLE_EQ(presses[0].x, 50);
  EXPECT_DOUBLE_EQ(presses[0].y, 60);
  EXPECT_FALSE(presses[2].doubleClick);
  EXPECT_TRUE(presses[3].doubleClick);
  ASSERT_FALSE(releases.empty());
  EXPECT_EQ(releases[0].button, 1);
}

TEST_F(SdlHostTest, ConfinesThePointerToTheWindowAndFreesIt) {
  ASSERT_NO_FATAL_FAILURE(openWindow());
  Geometry g = geometry();
  host_->clipCursor(
      platform::ClipRect{g.origin.x, g.origin.y, g.origin.x + g.size.x, g.origin.y + g.size.y});
  ASSERT_TRUE(support::xdotool({"mousemove", "0", "0", "sleep", "0.1"}));
  support::Point p = x_->pointer();
  EXPECT_GE(p.x, g.origin.x);
  EXPECT_GE(p.y, g.origin.y);
  EXPECT_LT(p.x, g.origin.x + g.size.x);
  EXPECT_LT(p.y, g.origin.y + g.size.y);

  host_->clipCursor(std::nullopt);
  ASSERT_TRUE(support::xdotool({"mousemove", "0", "0", "sleep", "0.1"}));
  p = x_->pointer();
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
}

// 8-bit mono 11025 Hz square wave, `period` samples long, written the way the game's sound bank
// holds its WAV images: a RIFF length 8 more than standard and zero padding to 4 bytes.
std::vector<uint8_t> tone(int period, double seconds) {
  auto n = static_cast<uint32_t>(seconds * 11025);
  std::vector<uint8_t> w(44 + n);
  auto put = [&](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
      w[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  std::memcpy(&w[0], "RIFF", 4);
  put(4, 36 + n + 8, 4);
  std::memcpy(&w[8], "WAVEfmt ", 8);
  put(16, 16, 4);
  put(20, 1, 2);  // PCM
  put(22, 1, 2);  // mono
  put(24, 11025, 4);
  put(28, 11025, 4);
  put(32, 1, 2);
  put(34, 8, 2);
  std::memcpy(&w[36], "data", 4);
  put(40, n, 4);
  for (uint32_t i = 0; i < n; ++i) {
    w[44 + i] = static_cast<int>(i % period) < period / 2 ? 188 : 68;
  }
  w.resize((w.size() + 3) / 4 * 4, 0);
  return w;
}

// What the disk audio driver wrote: 16-bit mono at 11025 Hz, as the host opens the device. Each
// 400-sample window is silent, the low tone of tone(40, ...) (20 sign changes), the high one of
// tone(8, ...) (100), or a mix at a cut.
struct Heard {
  std::string runs;  // one letter per run of equal windows: s(ilence), l(ow), h(igh)
  int lowWindows = 0;
};

Heard listen(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> s(raw.size() / 2);
  std::memcpy(s.data(), raw.data(), s.size() * 2);
  Heard heard;
  for (size_t at = 0; at + 400 <= s.size(); at += 400) {
    int loud = 0, changes = 0;
    for (size_t i = at; i < at + 400; ++i) {
      loud += std::abs(s[i]) > 1000;
      changes += i > at && (s[i] < 0) != (s[i - 1] < 0);
    }
    char kind = loud == 0       ? 's'
                : loud < 400    ? '?'
                : changes <= 22 ? 'l'
                : changes >= 90 ? 'h'
                                : '?';
    heard.lowWindows += kind == 'l';
    if (kind != '?' && (heard.runs.empty() || heard.runs.back() != kind)) {
      heard.runs += kind;
    }
  }
  // The device may have written some silence before the first sound.
  heard.runs.erase(0, heard.runs.find_first_not_of('s'));
  return heard;
}

// Threads of this process; SDL's audio thread is one of them while the device is open.
int threadCount() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Threads:", 0) == 0) {
      return std::atoi(line.c_str() + 8);
    }
  }
  return -1;
}

class SdlHostSoundTest : public SdlHostTest {
 protected:
  void SetUp() override {
    SdlHostTest::SetUp();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
  }
  void TearDown() override {
    host_.reset();
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    std::remove(file_.c_str());
  }

  std::string file_ = testing::TempDir() + "sdl_host_test_audio.raw";
};

TEST_F(SdlHostSoundTest, NewestSoundCutsOffTheOneThatPlays) {
  ASSERT_NO_FATAL_FAILURE(openWindow());
  std::vector<uint8_t> low = tone(40, 1.0), high = tone(8, 0.2);
  std::vector<uint8_t> broken(200, 0x55);

  host_->playSound(low);
  std::this_thread::sleep_for(250ms);
  host_->playSound(high);
  std::this_thread::sleep_for(300ms);  // a silence, within the device's tail of 200 ms
  host_->playSound(low);
  std::this_thread::sleep_for(250ms);
  host_->playSound(broken);  // silences the low tone too: the newest call wins
  std::this_thread::sleep_for(300ms);
  host_.reset();

  Heard heard = listen(file_);
  EXPECT_EQ(heard.runs, "lhsls");
  // Each low tone was cut after about a quarter of its second.
  EXPECT_GT(heard.lowWindows, 2);
  EXPECT_LT(heard.lowWindows, 2 * 11025 * 0.8 / 400);
}

// Waits up to two seconds for the thread count to meet `done`; the sound channel opens and
// closes its device on a thread of its own.
template <typename Done>
bool threadsUntil(Done done) {
  for (auto give_up = std::chrono::steady_clock::now() + 2s;
       std::chrono::steady_clock::now() < give_up; std::this_thread::sleep_for(5ms)) {
    if (done(threadCount())) {
      return true;
    }
  }
  return false;
}

TEST_F(SdlHostSoundTest, DeviceClosesOnceTheSoundIsOverAndOpensForTheNext) {
  ASSERT_NO_FATAL_FAILURE(openWindow());
  const int quiet = threadCount();
  // Before any sound, and for a sound that cannot be read, no device opens.
  host_->playSound(std::vector<uint8_t>(200, 0x55));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(threadCount(), quiet);

  host_->playSound(tone(8, 0.2));
  EXPECT_TRUE(threadsUntil([&](int n) { return n > quiet; })) << "no device opened";
  // It closes once the sound and a short tail are over, while the game neither waits for
  // input nor calls the host at all.
  std::this_thread::sleep_for(1000ms);
  EXPECT_EQ(threadCount(), quiet) << "the audio thread still runs after the sound";

  host_->playSound(tone(40, 0.3));
  EXPECT_TRUE(threadsUntil([&](int n) { return n > quiet; })) << "no device opened again";
  std::this_thread::sleep_for(500ms);
  host_.reset();
  // The disk driver starts its file afresh at each opening: only the second sound is in it.
  EXPECT_EQ(listen(file_).runs, "ls");
}

// The device closes some 300 ms after a 0.1 s sound starts, and closing takes a while (SDL
// drains its buffers). A sound that comes just before, during or just after that must be heard
// whole, and the host must end cleanly in the middle of a close.
TEST_F(SdlHostSoundTest, SoundThatComesWhileTheDeviceClosesIsHeard) {
  ASSERT_NO_FATAL_FAILURE(openWindow());
  const int quiet = threadCount();
  for (int after = 240; after <= 360; after += 20) {
    host_->playSound(tone(8, 0.1));
    std::this_thread::sleep_for(std::chrono::milliseconds(after));
    host_->playSound(tone(40, 0.3));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(threadsUntil([&](int n) { return n == quiet; })) << "the device never closed";
    std::this_thread::sleep_for(100ms);  // the driver's file is closed just after its thread
    Heard heard = listen(file_);
    EXPECT_TRUE(heard.runs.ends_with("ls") && heard.lowWindows >= 7)
        << "the second sound " << after << " ms after the first: " << heard.runs << ", "
        << heard.lowWindows << " windows of it";
  }
  host_->playSound(tone(8, 0.1));
  std::this_thread::sleep_for(310ms);
  host_.reset();
}

}  // namespace
