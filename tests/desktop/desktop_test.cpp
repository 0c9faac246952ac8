// The desktop hosts' rules: the window's whole factor on real screen sizes, the fullscreen
// letterbox and the pointer on it, the command line, the settings file with the keys that write
// it, and the hosts' timing: how long a host sleeps, when the loop gets its turn, and how long
// the confinement keeps trying while another program holds the pointer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop/command_line.h"
#include "platform/desktop/retries.h"
#include "platform/desktop/scale.h"
#include "platform/desktop/settings.h"
#include "platform/desktop/view_choice.h"
#include "platform/turns.h"

namespace desktop = platform::desktop;
namespace fs = std::filesystem;

namespace {

constexpr desktop::Size kScene{304, 213};

TEST(Scale, WindowTakesAtMostHalfTheScreenButNeverLessThanTheDesktopAsks) {
  EXPECT_EQ(desktop::defaultFactor(kScene, {1024, 768}, 1), 1);
  EXPECT_EQ(desktop::defaultFactor(kScene, {1920, 1080}, 1), 2);
  EXPECT_EQ(desktop::defaultFactor(kScene, {2560, 1440}, 1), 3);
  EXPECT_EQ(desktop::defaultFactor(kScene, {3840, 2160}, 1), 5);
  // A panel takes some height: still 2x on a full-HD screen.
  EXPECT_EQ(desktop::defaultFactor(kScene, {1920, 1040}, 1), 2);
  // 192 dpi on a small screen: the desktop's 2x, as far as the screen holds it.
  EXPECT_EQ(desktop::defaultFactor(kScene, {1024, 768}, 2), 2);
  EXPECT_EQ(desktop::defaultFactor(kScene, {1024, 768}, 10), 3);
  EXPECT_EQ(desktop::defaultFactor(kScene, {200, 100}, 1), 1);
}

TEST(Scale, TheFramedWindowStaysOnTheScreenAndKeepsItsPlace) {
  // 5x is 1065 lines: with a 27-line title bar it no longer fits a 1080-line screen.
  desktop::Size room = desktop::clientRoom({1920, 1080}, {1, 27, 1, 1});
  EXPECT_EQ(desktop::fittingFactor(kScene, room), 4);
  desktop::Rect usable{0, 0, 1920, 1080};
  // Bigger: the centre stays; near an edge it moves only as far as it must.
  EXPECT_EQ(desktop::keepCentre({500, 300, 610, 454}, {914, 667}, usable),
            (desktop::Rect{348, 194, 914, 667}));
  EXPECT_EQ(desktop::keepCentre({100, 100, 610, 454}, {914, 667}, usable),
            (desktop::Rect{0, 0, 914, 667}));
  EXPECT_EQ(desktop::keepCentre({1300, 700, 610, 454}, {914, 667}, usable),
            (desktop::Rect{1006, 413, 914, 667}));
  // Larger than the screen: the top-left corner, with the title bar, on it.
  EXPECT_EQ(desktop::keepCentre({0, 0, 610, 454}, {2000, 1200}, {0, 40, 1920, 1040}),
            (desktop::Rect{0, 40, 2000, 1200}));
}

TEST(Scale, FullscreenCentresTheSceneOnBlackAndThePointerMapsOnlyInsideIt) {
  desktop::View full = desktop::fullscreenView(kScene, {1920, 1080});
  EXPECT_EQ(full.factor, 5);
  EXPECT_EQ(full.scene, (desktop::Rect{200, 7, 1520, 1065}));
  EXPECT_EQ(full.client, (desktop::Size{1920, 1080}));

  desktop::ScenePoint first = full.toScene(200, 7), last = full.toScene(1719, 1071);
  EXPECT_TRUE(first.inside);
  EXPECT_DOUBLE_EQ(first.x, 0);
  EXPECT_DOUBLE_EQ(first.y, 0);
  EXPECT_TRUE(last.inside);
  EXPECT_DOUBLE_EQ(last.x, 303.8);
  EXPECT_DOUBLE_EQ(last.y, 212.8);
  for (auto [x, y] : {std::pair{199, 500}, {1720, 500}, {900, 6}, {900, 1072}, {0, 0}}) {
    EXPECT_FALSE(full.toScene(x, y).inside) << x << "," << y;
  }
  // The game's confinement rectangle, the whole scene, lands exactly on the scene.
  EXPECT_EQ(full.toClient({0, 0, 304, 213}), full.scene);

  // A window the window system made bigger than asked: the scene in its middle, as asked.
  EXPECT_EQ(desktop::centredView(kScene, {700, 500}, 2).scene, (desktop::Rect{46, 37, 608, 426}));
  EXPECT_EQ(desktop::centredView(kScene, {700, 500}, 3).factor, 2);

  desktop::View window = desktop::windowView(kScene, 3);
  EXPECT_EQ(window.client, (desktop::Size{912, 639}));
  EXPECT_EQ(window.toClient({10, 20, 2, 3}), (desktop::Rect{30, 60, 6, 9}));
  EXPECT_DOUBLE_EQ(window.toScene(911, 638).x, 911.0 / 3);
  EXPECT_TRUE(window.toScene(911, 638).inside);
}

desktop::CommandLine parse(std::vector<const char*> args) {
  return desktop::parseCommandLine(args);
}

// A deadline that has passed is a turn now, never a wait of weeks; without one only input wakes
// the host; a turn comes only when something is due, and none while the message box is open.
TEST(HostTiming, TheLoopsTurnComesWhenItIsDueAndNeverUnderTheMessageBox) {
  EXPECT_EQ(platform::sleepUntil(100, 102), 0);
  EXPECT_EQ(platform::sleepUntil(100, 40), 60);
  EXPECT_EQ(platform::sleepUntil(forms::Millis{1} << 40, 0), platform::kLongestSleep);
  EXPECT_EQ(platform::sleepUntil(std::nullopt, 0), std::nullopt);
  EXPECT_EQ(platform::earliest(30, std::nullopt), 30);
  EXPECT_EQ(platform::earliest(30, 20), 20);

  platform::ManualClock clock;
  platform::Turns turns(clock);
  EXPECT_FALSE(turns.next().turn);
  EXPECT_EQ(turns.next().sleep, std::nullopt);
  turns.wakeAt(55);
  clock.set(54);
  EXPECT_FALSE(turns.next().turn);
  EXPECT_EQ(turns.next().sleep, 1);
  clock.set(57);
  EXPECT_TRUE(turns.next().turn);
  EXPECT_EQ(turns.next().sleep, 0);
  turns.pause(true);
  EXPECT_FALSE(turns.next().turn);
  EXPECT_EQ(turns.next().sleep, std::nullopt);
  turns.pause(false);
  EXPECT_TRUE(turns.next().turn);
}

// Every 50 ms for at most ten seconds of refusals in a row: a hold taken and a new start each
// make the whole ten seconds available again.
TEST(HostTiming, TheConfinementRetriesForTenSecondsAfterEachHoldAndEachFocus) {
  desktop::Retries retries;
  auto refuseUntil = [&](forms::Millis from, forms::Millis until) {
    forms::Millis t = from;
    for (; retries.tried(false, t) && t < until; t = *retries.at()) {
      EXPECT_EQ(retries.at(), t + 50);
      EXPECT_FALSE(retries.due(t + 49));
      EXPECT_TRUE(retries.due(t + 50));
    }
    return t;
  };
  EXPECT_EQ(retries.at(), std::nullopt);
  // Refused for good: the last try ten seconds after the first refusal, then no more.
  EXPECT_EQ(refuseUntil(0, 1'000'000), 10'000);
  EXPECT_EQ(retries.at(), std::nullopt);

  // Another program grabbing again and again, the hold taken in between: never given up.
  for (forms::Millis start : {20'000, 29'000, 38'000}) {
    retries.tried(true, start - 1);
    EXPECT_EQ(retries.at(), std::nullopt);
    EXPECT_EQ(refuseUntil(start, start + 8'000), start + 8'000);
  }
  // The focus coming back starts the ten seconds again.
  retries.reset();
  EXPECT_EQ(retries.at(), std::nullopt);
  EXPECT_EQ(refuseUntil(47'000, 1'000'000), 57'000);
}

TEST(CommandLine, OptionsForThisRunAndWhatIsWrongWithTheRest) {
  using Action = desktop::CommandLine::Action;
  desktop::CommandLine none = parse({});
  EXPECT_EQ(none.action, Action::Play);
  EXPECT_FALSE(none.choice.scale || none.choice.fullscreen);

  desktop::CommandLine full = parse({"--scale", "3", "--window", "--fullscreen"});
  EXPECT_EQ(full.action, Action::Play);
  EXPECT_EQ(full.choice.scale, 3);
  EXPECT_EQ(full.choice.fullscreen, true);
  EXPECT_EQ(parse({"--fullscreen", "--scale=2", "--window"}).choice.fullscreen, false);
  EXPECT_EQ(parse({"--scale=2"}).choice.scale, 2);

  EXPECT_EQ(parse({"--scale", "2", "--help"}).action, Action::Help);
  EXPECT_EQ(parse({"--version"}).action, Action::Version);
  EXPECT_EQ(desktop::versionText(), "vombrel " VOMBREL_VERSION "\n");
  // In a terminal an option and its meaning share a line of at most 80 columns; in the .exe's
  // message box no line is wider than the first, which the box would wrap.
  using Layout = desktop::UsageLayout;
  for (auto [layout, widest] :
       {std::pair{Layout::Terminal, std::size_t{80}},
        {Layout::MessageBox, desktop::usage(Layout::MessageBox).find('\n')}}) {
    std::string text = desktop::usage(layout);
    EXPECT_NE(text.find("--fullscreen"), std::string::npos);
    EXPECT_NE(text.find("Ctrl+0"), std::string::npos);
    EXPECT_EQ(text.find("  --window") == text.find("  --window  "), layout == Layout::Terminal);
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
      EXPECT_LE(end - at, widest) << text.substr(at, end - at);
    }
  }

  for (auto wrong : std::vector<std::vector<const char*>>{{"--scale"},
                                                          {"--scale", "0"},
                                                          {"--scale", "2.5"},
                                                          {"--scale", "x"},
                                                          {"--scale=-1"},
                                                          {"--scale", "101"},
                                                          {"--scale", "99999999999"},
                                                          {"--scale="}}) {
    desktop::CommandLine cl = parse(wrong);
    EXPECT_EQ(cl.action, Action::Wrong) << wrong.back();
    EXPECT_NE(cl.error.find("--scale"), std::string::npos) << cl.error;
  }
  desktop::CommandLine unknown = parse({"--help", "--fulscreen"});
  EXPECT_EQ(unknown.action, Action::Wrong);
  EXPECT_EQ(unknown.error, "unknown option \"--fulscreen\"");
}

// A folder of its own under the system's temporary folder, gone with the test.
class SettingsFile : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("vombrel-settings-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    file_ = (dir_ / "vombrel" / "settings.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  void write(const std::string& text) {
    fs::create_directories(fs::path(file_).parent_path());
    std::ofstream(file_, std::ios::binary) << text;
  }
  std::string read() {
    std::ifstream in(file_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
  std::string file_;
};

TEST_F(SettingsFile, RoundTripAndEveryLineThePlayerWroteSurvives) {
  EXPECT_EQ(desktop::loadSettings(file_).settings, desktop::Settings{});
  EXPECT_TRUE(desktop::loadSettings(file_).warnings.empty());  // the first run: nothing to say

  desktop::Settings chosen{3, true};
  ASSERT_EQ(desktop::saveSettings(file_, chosen), "");
  EXPECT_EQ(desktop::loadSettings(file_).settings, chosen);
#ifndef _WIN32
  EXPECT_EQ(fs::status(fs::path(file_).parent_path()).permissions() & fs::perms::all,
            fs::perms::owner_all);  // a new folder is the player's alone
  // A leftover of a save that never finished neither lends its mode nor stays.
  fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::ofstream(file_ + ".new") << "scale=9\n";
  fs::permissions(file_ + ".new", fs::perms::owner_read | fs::perms::owner_write);
#endif
  ASSERT_EQ(desktop::saveSettings(file_, {std::nullopt, false}), "");  // over the old one
  EXPECT_EQ(desktop::loadSettings(file_).settings, (desktop::Settings{std::nullopt, false}));
  EXPECT_FALSE(fs::exists(file_ + ".new"));
#ifndef _WIN32
  EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif

  // Hand-edited in Notepad (a byte order mark, CRLF lines), with a section, the player's
  // comments, a setting of a newer game and a line that is none: every setting read, one warning
  // naming the line that is none, and every line kept when a key saves.
  write("\xEF\xBB\xBF[vombrel]\r\n; mine\r\n  scale = 4 \r\n\r\nvolume=5\r\nloud\r\nfullscreen=0");
  desktop::Loaded got = desktop::loadSettings(file_);
  EXPECT_EQ(got.settings, (desktop::Settings{4, false}));
  EXPECT_EQ(got.warnings,
            std::vector<std::string>{file_ + ":6: skipping \"loud\", which is not name=value"});
  ASSERT_EQ(desktop::saveSettings(file_, {std::nullopt, true}), "");
  EXPECT_EQ(read(), "\xEF\xBB\xBF[vombrel]\r\n; mine\r\n\r\nvolume=5\r\nloud\r\nfullscreen=1\r\n");
  ASSERT_EQ(desktop::saveSettings(file_, chosen), "");
  EXPECT_EQ(
      read(),
      "\xEF\xBB\xBF[vombrel]\r\n; mine\r\n\r\nvolume=5\r\nloud\r\nfullscreen=1\r\nscale=3\r\n");

  // A bad value: that setting's default alone, and its line stays until a key sets it.
  write("scale=3\nfullscreen=yes\n");
  got = desktop::loadSettings(file_);
  EXPECT_EQ(got.settings, (desktop::Settings{3, std::nullopt}));
  ASSERT_EQ(got.warnings.size(), 1u);
  EXPECT_EQ(got.warnings[0].rfind(file_ + ":2: fullscreen", 0), 0u) << got.warnings[0];
  ASSERT_EQ(desktop::saveSettings(file_, {2, std::nullopt}), "");
  EXPECT_EQ(read(), "scale=2\nfullscreen=yes\n");
  ASSERT_EQ(desktop::saveSettings(file_, {2, true}), "");
  EXPECT_EQ(read(), "scale=2\nfullscreen=1\n");

  // Linked in from a dotfiles folder: it stays a link, and the file it points to changes.
  fs::remove(file_);
  fs::create_directories(dir_ / "dotfiles");
  std::ofstream(dir_ / "dotfiles" / "vombrel.ini") << "# shared\n";
  std::error_code noLinks;  // Windows lets only administrators make them
  fs::create_symlink(fs::path("..") / "dotfiles" / "vombrel.ini", file_, noLinks);
  if (!noLinks) {
    ASSERT_EQ(desktop::saveSettings(file_, chosen), "");
    EXPECT_TRUE(fs::is_symlink(file_));
    EXPECT_EQ(read(), "# shared\nscale=3\nfullscreen=1\n");
  }
  fs::remove(file_);

  // What cannot be read is not replaced: far too big, a folder, or made read-only by the player.
  write(std::string(5000, '#'));
  EXPECT_EQ(desktop::loadSettings(file_).warnings.size(), 1u);
  EXPECT_NE(desktop::saveSettings(file_, chosen), "");
  EXPECT_EQ(fs::file_size(file_), 5000u);
  write("scale=2\n");
  fs::permissions(file_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_NE(desktop::saveSettings(file_, chosen), "");
  EXPECT_EQ(read(), "scale=2\n");
  fs::permissions(file_, fs::perms::owner_write, fs::perm_options::add);
  fs::remove(file_);
  fs::create_directories(file_);  // a folder where the file should be
  EXPECT_NE(desktop::loadSettings(file_).warnings[0].find(file_), std::string::npos);
  EXPECT_NE(desktop::saveSettings(file_, chosen), "");
}

TEST_F(SettingsFile, KeysAreRememberedTheCommandLineIsNot) {
  desktop::FactorLimits limits{2, 5};
  std::vector<std::string> warnings;
  auto warn = [&](const std::string& w) { warnings.push_back(w); };

  desktop::ViewChoices first({}, file_, warn);
  EXPECT_EQ(first.start(limits), (desktop::Choice{2, false}));
  EXPECT_EQ(first.press(desktop::ViewKey::Plus, true, false, limits), (desktop::Choice{3, false}));
  EXPECT_EQ(first.press(desktop::ViewKey::F11, false, false, limits), (desktop::Choice{3, true}));
  // In fullscreen the window's factor waits; plain keys and Ctrl+Alt are not the view's.
  EXPECT_EQ(first.press(desktop::ViewKey::Plus, true, false, limits), std::nullopt);
  EXPECT_EQ(first.press(desktop::ViewKey::F11, true, true, limits), std::nullopt);
  EXPECT_FALSE(desktop::ViewChoices::isViewKey(desktop::ViewKey::Enter, false, false));
  EXPECT_TRUE(desktop::ViewChoices::isViewKey(desktop::ViewKey::Plus, true, false));
  EXPECT_EQ(desktop::loadSettings(file_).settings, (desktop::Settings{3, true}));

  // This run's --window and --scale win, and leave the file as the keys left it; a key saves
  // only what it changes.
  desktop::ViewChoices second({1, false}, file_, warn);
  EXPECT_EQ(second.start(limits), (desktop::Choice{1, false}));
  EXPECT_EQ(second.press(desktop::ViewKey::Minus, true, false, limits), std::nullopt);
  EXPECT_EQ(desktop::loadSettings(file_).settings, (desktop::Settings{3, true}));
  EXPECT_EQ(second.press(desktop::ViewKey::Plus, true, false, limits), (desktop::Choice{2, false}));
  EXPECT_EQ(desktop::loadSettings(file_).settings, (desktop::Settings{2, true}));

  // Ctrl+0: the usual size, and the file forgets the factor; a saved factor the screen no longer
  // holds is cut down to the largest.
  desktop::ViewChoices third({}, file_, warn);
  third.start(limits);
  EXPECT_EQ(third.press(desktop::ViewKey::Enter, false, true, limits), (desktop::Choice{2, false}));
  for (int i = 0; i < 6; ++i) {
    third.press(desktop::ViewKey::Plus, true, false, limits);
  }
  EXPECT_EQ(third.current(), (desktop::Choice{5, false}));
  EXPECT_EQ(desktop::ViewChoices({}, file_, warn).start({1, 3}), (desktop::Choice{3, false}));
  EXPECT_EQ(third.press(desktop::ViewKey::Zero, true, false, limits), (desktop::Choice{2, false}));
  EXPECT_EQ(desktop::loadSettings(file_).settings, (desktop::Settings{std::nullopt, false}));
  EXPECT_TRUE(warnings.empty());

  // A bad value: that default and one warning; an unwritable file: one warning however often
  // the player presses.
  write("fullscreen=2\n");
  desktop::ViewChoices corrupt({}, file_, warn);
  EXPECT_EQ(corrupt.start(limits), (desktop::Choice{2, false}));
  ASSERT_EQ(warnings.size(), 1u);
  fs::remove(file_);
  fs::create_directories(file_);
  corrupt.press(desktop::ViewKey::F11, false, false, limits);
  corrupt.press(desktop::ViewKey::F11, false, false, limits);
  EXPECT_EQ(warnings.size(), 2u);
  EXPECT_EQ(corrupt.current(), (desktop::Choice{2, false}));  // the game goes on all the same
}

TEST(SettingsPath, WhereEachPlatformKeepsIt) {
  EXPECT_EQ(desktop::xdgSettingsFile("/x/conf", "/home/p"), "/x/conf/vombrel/settings.ini");
  EXPECT_EQ(desktop::xdgSettingsFile(nullptr, "/home/p"), "/home/p/.config/vombrel/settings.ini");
  EXPECT_EQ(desktop::xdgSettingsFile("", "/home/p"), desktop::xdgSettingsFile(nullptr, "/home/p"));
  EXPECT_EQ(desktop::xdgSettingsFile("rel", "/home/p"),
            desktop::xdgSettingsFile(nullptr, "/home/p"));
  EXPECT_EQ(desktop::xdgSettingsFile(nullptr, nullptr), std::nullopt);
  EXPECT_EQ(desktop::appDataSettingsFile("C:\\Users\\Jiří"),
            "C:\\Users\\Jiří\\Vombrel\\settings.ini");
}

}  // namespace
