// Random play: long seeded sequences of what a player can do with the mouse (moves, presses,
// releases at once or late, clicks, double clicks, mostly on the three buttons, the target and
// the bird), with time passing at random in between, on the headless host. After every step the
// rules of the game must still hold. Some runs end by the exit label or the close box at a
// random moment, and leaving must free the cursor in silence.
//
// A failure names the seed, the run and the step, shows the game's state and lists the last
// inputs. Where the SDL host is built, the window's pixels are checked too: after every step of
// the first kScreenSteps of each run, the screen built up by repainting only what changed must
// be the scene painted afresh from the game's state. The committed run is short; a long one, or one
// seed again:
//
//   VOMBREL_RANDOM_PLAY_STEPS=10000000 build/tests/game/random_play_test
//   VOMBREL_RANDOM_PLAY_SEED=3 build/tests/game/random_play_test
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/form1.h"
#include "assets/resources.h"
#include "forms/captions.h"
#include "platform/headless/headless_host.h"
#include "tests/game/screen.h"

namespace {

// Every seed plays this many steps; the seeds are 1, 2, 3, ... as many as the steps asked for.
constexpr long kStepsPerSeed = 25'000;
constexpr long kDefaultSteps = 4 * kStepsPerSeed;
// Painting the whole scene afresh costs many steps' time: the pixels are checked at the start of
// every run only, where games start and stop, the bird flies and shots land often enough.
constexpr long kScreenSteps = 80;

constexpr double kPx = forms::kTwipsPerPixel;
constexpr int kClientW = 304, kClientH = 213;  // pixels
constexpr double kFenceTop = 1560, kPeak = 1020;
// The headless window at (1500, 1200) twips, 4650 x 3570, on a screen of 15 twips per pixel.
constexpr platform::ClipRect kGameClip{100, 80, 410, 318};

long envLong(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atol(v) : fallback;
}

// The host, keeping only what millions of steps can afford: the ids of the sounds of the
// current step and the cursor's last confinement.
class RecordingHost : public headless::HeadlessHost {
 public:
  void render(const forms::Frame& frame) override {
    if (screen)
      screen->render(frame);
    HeadlessHost::render(frame);
  }
  void playSound(std::span<const std::uint8_t> wav) override { sounds.push_back(idOf(wav)); }
  void clipCursor(std::optional<platform::ClipRect> rect) override {
    clip = rect;
    ++clipCalls;
    starts += rect.has_value();
  }

  std::vector<int> sounds;
  std::optional<platform::ClipRect> clip;  // nothing: the cursor is free
  long clipCalls = 0;
  long starts = 0;                 // games started: each START confines the cursor once
  std::unique_ptr<Screen> screen;  // the window's pixels, where a painter is built

 private:
  static int idOf(std::span<const std::uint8_t> wav) {
    for (int id : {1, 2, 3, 4, 5, 6, 7, 9}) {
      auto bank = assets::find(assets::kSoundType, id);
      if (bank && std::equal(bank->begin(), bank->end(), wav.begin(), wav.end()))
        return id;
    }
    return -1;
  }
};

const platform::Session::Chrome kChrome{assets::picture(assets::Pic::Icon),
                                        assets::picture(assets::Pic::GunSight)};

struct Session {
  RecordingHost host;
  Form1 form{host};
  headless::Driver driver{form, host, kChrome};
};

struct Point {
  int x = 0, y = 0;  // client pixels, as the mouse reports them
  double tx() const { return x * kPx; }
  double ty() const { return y * kPx; }
};

enum class Act { Wait, Move, Button, Click, DoubleClick, Uncover, Exit, Close };
enum class Where { Start, About, Target, Bird, Anywhere };

struct Input {
  long step = 0;
  forms::Millis at = 0;
  Act act = Act::Wait;
  Point p;
  int button = 1;
  forms::Millis ms = 0;  // a wait, or the gap inside a double click
  bool down = false;     // for Button: a press, else a release
};

struct Stats {
  long steps = 0, runs = 0, games = 0, hits = 0, scoringHits = 0, levelUps = 0, wins = 0,
       countdowns = 0, birdScores = 0, birdShotsBetweenGames = 0, aboutPauses = 0, missedLate = 0,
       exits = 0, closes = 0, leftDuringGame = 0;
};

bool isWhole(double v) {
  return std::isfinite(v) && v == std::floor(v);
}

// A caption the game writes as a number: whole, and written the way numbers are written.
bool wholeCaption(const std::string& c) {
  return !c.empty() && forms::textOf(forms::numberOf(c)) == c && isWhole(forms::numberOf(c));
}

class RandomPlay {
 public:
  // Adds what it saw to `stats`.
  RandomPlay(unsigned seed, long steps, Stats& stats)
      : seed_(seed), rng_(seed), stepsLeft_(steps), stats_(stats) {}

  void play() {
    while (stepsLeft_ > 0 && failure_.empty()) {
      const long length = std::uniform_int_distribution<long>(100, 8'000)(rng_);
      // Three runs in five end by leaving, at a random step or at the first step after it
      // that finds a game running.
      std::optional<Leaving> leave;
      if (const int kind = roll(5); kind < 3)
        leave = Leaving{kind == 0 ? Act::Close : Act::Exit,
                        std::uniform_int_distribution<long>(0, length - 1)(rng_), roll(2) == 0};
      run(length, leave);
    }
  }

  const std::string& failure() const { return failure_; }

 private:
  struct Before {
    bool running = false, about = false;
    std::string score, level, counter;
    forms::Millis now = 0;
    long clipCalls = 0;  // every START and STOP confines or frees the cursor once
  };

  // --- one run: the program from start to its end or the end of the steps ---

  struct Leaving {
    Act how;  // Exit or Close
    long from;
    bool inGame;
  };

  void run(long length, std::optional<Leaving> leave) {
    ++stats_.runs;
    s_ = std::make_unique<Session>();
    s_->host.screen = makeScreen(kClientW, kClientH);
    runStart_ = step_;
    Form1& f = s_->form;
    // Every hit goes through here, to be checked where it happens.
    f.Image2.Click = [this, h = f.Image2.Click] { hit(h); };
    f.Image2.DblClick = [this, h = f.Image2.DblClick] { hit(h); };
    s_->driver.load();
    const auto& setup = s_->host.setup();
    rule(setup &&
             std::equal(setup->icon.begin(), setup->icon.end(), kChrome.icon.begin(),
                        kChrome.icon.end()) &&
             std::equal(setup->cursor.begin(), setup->cursor.end(), kChrome.cursor.begin(),
                        kChrome.cursor.end()),
         "the window opens with the game's icon and gun-sight cursor");
    buttonDown_ = pressOnTarget_ = false;
    pointer_ = {};
    newMood();
    check(snapshot());
    steps(length, leave);
    stats_.games += s_->host.starts;
  }

  void steps(long length, std::optional<Leaving> leave) {
    for (long i = 0; i < length && stepsLeft_ > 0 && failure_.empty(); ++i) {
      --stepsLeft_, ++stats_.steps, ++step_;
      const Before before = snapshot();
      s_->host.sounds.clear();
      hitThisStep_ = wonThisStep_ = false;
      if (leave && i >= leave->from && (!leave->inGame || running())) {
        leaveNow(leave->how);
        return;
      }
      if (--moodLeft_ <= 0)
        newMood();
      act();
      check(before);
    }
  }

  // --- what the player does ---

  // The player's mood for a while: which actions, where, and how long the pauses.
  //   marksman (a third): aims at the figure and leaves the buttons alone long enough to clear
  //     level 5, though he starts a game, or closes the about panel, when the target is out of
  //     play;
  //   bird hunter (a sixth): shoots at the bird, in games and between them, and now and then
  //     clicks START or STOP;
  //   the rest: every weight at random, from near nothing to four times its base: a long idle,
  //     restless clicking on the buttons, ...
  enum class Mood { Marksman, Hunter, Random };

  void newMood() {
    const int r = roll(6);
    mood_ = r < 2 ? Mood::Marksman : r < 3 ? Mood::Hunter : Mood::Random;
    auto draw = [this](std::initializer_list<double> random, std::initializer_list<double> marksman,
                       std::initializer_list<double> hunter) {
      std::vector<double> w(mood_ == Mood::Marksman ? marksman
                            : mood_ == Mood::Hunter ? hunter
                                                    : random);
      if (mood_ == Mood::Random) {
        for (double& x : w)
          x *= std::exp(std::uniform_real_distribution<double>(-7, 1.5)(rng_));
      }
      return std::discrete_distribution<int>(w.begin(), w.end());
    };
    // Wait, Move, Button, Click, DoubleClick, Uncover (another window moves off the game's).
    actDist_ =
        draw({3, 1.5, 2, 2, 0.5, 0.1}, {3, 0.5, 0.5, 3, 0.3, 0.02}, {3, 0.5, 0.5, 3, 0.3, 0.02});
    // Start, About, Target, Bird, Anywhere.
    whereDist_ = draw({0.6, 0.5, 3, 0.8, 2}, {0.001, 0.001, 10, 1, 0.5}, {0.3, 0.05, 0.5, 10, 0.5});
    // Up to 120 ms, up to 1.5 s, up to 40 s.
    waitDist_ = draw({6, 2, 0.3}, {1, 0, 0}, {3, 2, 0.2});
    moodLeft_ = std::uniform_int_distribution<long>(50, 5'000)(rng_);
  }

  int roll(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  // A pixel inside a box of window twips, within the window.
  Point pointIn(double left, double top, double width, double height) {
    auto pick = [this](double from, double size, int limit) {
      int lo = static_cast<int>(std::ceil(from / kPx));
      int hi = static_cast<int>(std::ceil((from + size) / kPx)) - 1;
      lo = std::clamp(lo, 0, limit - 1);
      hi = std::clamp(hi, lo, limit - 1);
      return std::uniform_int_distribution<int>(lo, hi)(rng_);
    };
    return {pick(left, width, kClientW), pick(top, height, kClientH)};
  }

  Point choose() {
    Form1& f = s_->form;
    switch (static_cast<Where>(whereDist_(rng_))) {
      case Where::Start:
        return pointIn(f.Label6.Left, f.Label6.Top, f.Label6.Width, f.Label6.Height);
      case Where::About:
        return pointIn(f.Label9.Left, f.Label9.Top, f.Label9.Width, f.Label9.Height);
      case Where::Target: {
        if (mood_ == Mood::Marksman && f.Label9.Caption == "OK")
          return pointIn(f.Label9.Left, f.Label9.Top, f.Label9.Width, f.Label9.Height);
        if (mood_ == Mood::Marksman && !running())
          return pointIn(f.Label6.Left, f.Label6.Top, f.Label6.Width, f.Label6.Height);
        const double shown = kFenceTop - f.Image2.Top;
        if (shown > 0 && roll(10) < 8)
          return pointIn(f.Image2.Left, f.Image2.Top, f.Image2.Width, shown);
        // Around its edges, the hidden part included.
        return pointIn(f.Image2.Left - 30, f.Image2.Top - 30, f.Image2.Width + 60, shown + 90);
      }
      case Where::Bird:
        return pointIn(f.Image3.Left - 30, f.Image3.Top - 30, f.Image3.Width + 60,
                       f.Image3.Height + 60);
      case Where::Anywhere:
        break;
    }
    // Anywhere but the exit label, which has runs of its own.
    for (;;) {
      Point p{roll(kClientW), roll(kClientH)};
      const forms::Label& exit = f.Label11;
      if (!(p.tx() >= exit.Left && p.tx() < exit.Left + exit.Width && p.ty() >= exit.Top &&
            p.ty() < exit.Top + exit.Height))
        return p;
    }
  }

  int chooseButton() {
    const int r = roll(20);
    return r < 17 ? 1 : r < 19 ? 2 : 4;
  }

  forms::Millis chooseWait() {
    switch (waitDist_(rng_)) {
      case 0:
        return std::uniform_int_distribution<forms::Millis>(1, 120)(rng_);
      case 1:
        return std::uniform_int_distribution<forms::Millis>(120, 1500)(rng_);
      default:
        return std::uniform_int_distribution<forms::Millis>(1500, 40'000)(rng_);
    }
  }

  void send(forms::MouseInput::Type type, Point p, int button, bool doubleClick = false) {
    pointer_ = p;
    if (type == forms::MouseInput::Type::Down) {
      pressOnTarget_ = onShownTarget(p);
      pressAt_ = s_->host.now();
      hitsAtPress_ = stats_.hits;
    }
    forms::MouseInput in;
    in.type = type;
    in.button = button;
    in.x = p.x;
    in.y = p.y;
    in.doubleClick = doubleClick;
    s_->form.mouse(in);
    s_->driver.advance(0);  // what the main loop does after each input: due timers, a frame
  }

  void press(Point p, int button) {
    send(forms::MouseInput::Type::Down, p, button);
    buttonDown_ = true;
    heldButton_ = button;
  }

  void release(Point p) {
    const bool late = pressOnTarget_ && s_->host.now() > pressAt_;
    send(forms::MouseInput::Type::Up, p, heldButton_);
    buttonDown_ = false;
    if (late && stats_.hits == hitsAtPress_)
      ++stats_.missedLate;
  }

  void act() {
    Input in;
    in.step = step_;
    in.at = s_->host.now();
    in.act = static_cast<Act>(actDist_(rng_));
    switch (in.act) {
      case Act::Wait:
        in.ms = chooseWait();
        s_->driver.advance(in.ms);
        break;
      case Act::Move:
        in.p = choose();
        send(forms::MouseInput::Type::Move, in.p, 1);
        break;
      case Act::Button:
        // Released where the pointer is, or after a drag to somewhere else.
        in.down = !buttonDown_;
        in.p = in.down || roll(2) ? choose() : pointer_;
        in.button = in.down ? chooseButton() : heldButton_;
        if (in.p.x != pointer_.x || in.p.y != pointer_.y)
          send(forms::MouseInput::Type::Move, in.p, 1);
        in.down ? press(in.p, in.button) : release(in.p);
        break;
      case Act::Click:
      case Act::DoubleClick:
        if (buttonDown_)
          release(pointer_);
        in.p = choose();
        in.button = chooseButton();
        send(forms::MouseInput::Type::Move, in.p, 1);
        press(in.p, in.button);
        release(in.p);
        if (in.act == Act::DoubleClick) {
          // The second press within the double-click time, as the window system decides it.
          in.ms = std::uniform_int_distribution<forms::Millis>(0, 450)(rng_);
          s_->driver.advance(in.ms);
          pressOnTarget_ = onShownTarget(in.p);
          send(forms::MouseInput::Type::Down, in.p, in.button, true);
          buttonDown_ = true;
          release(in.p);
        }
        break;
      case Act::Uncover:
        if (s_->host.screen)
          s_->host.screen->uncover();
        s_->driver.expose();
        break;
      case Act::Exit:
      case Act::Close:
        break;
    }
    lastAct_ = in.act;
    remember(in);
  }

  // --- leaving ---

  void leaveNow(Act how) {
    Form1& f = s_->form;
    RecordingHost& host = s_->host;
    if (running())
      ++stats_.leftDuringGame;
    Input in;
    in.step = step_;
    in.at = host.now();
    in.act = how;
    if (how == Act::Close) {
      ++stats_.closes;
      remember(in);
      s_->driver.close();
    } else {
      ++stats_.exits;
      if (buttonDown_)
        release(pointer_);
      in.p = pointIn(f.Label11.Left, f.Label11.Top, f.Label11.Width, f.Label11.Height);
      // Held a while on the exit label, or not: what the game does meanwhile is not leaving.
      in.ms = roll(3) == 0 ? chooseWait() : 0;
      remember(in);
      host.sounds.clear();
      send(forms::MouseInput::Type::Move, in.p, 1);
      press(in.p, 1);
      rule(host.sounds.empty(), "a press on the exit label plays nothing");
      s_->driver.advance(in.ms);
      host.sounds.clear();
      release(in.p);
    }
    const bool left = f.ended();
    rule(left, "leaving ends the program");
    rule(!host.clip && host.clipCalls > 0, "leaving frees the cursor");
    rule(host.sounds.empty(), "leaving plays nothing");
    rule(!f.nextTimerDue(), "after leaving no timer runs");
    // Whatever the mouse and the clock do now, the program is gone.
    const long clips = host.clipCalls;
    const int renders = host.renderCount();
    for (int i = 0; i < 20 && failure_.empty() && left; ++i) {
      act();
      rule(host.sounds.empty() && host.clipCalls == clips && host.renderCount() == renders,
           "after leaving nothing runs");
    }
  }

  // --- the rules ---

  bool running() const { return s_->form.Label6.Caption == "STOP"; }

  // Whether a point lies on what shows of the target: its box, above the fence.
  bool onShownTarget(Point p) const {
    const forms::PictureBox& t = s_->form.Image2;
    return t.Visible && p.tx() >= t.Left && p.tx() < t.Left + t.Width && p.ty() >= t.Top &&
           p.ty() < t.Top + t.Height && p.ty() < kFenceTop;
  }

  Before snapshot() const {
    const Form1& f = s_->form;
    Before b;
    b.running = running();
    b.about = f.Label9.Caption == "OK";
    b.score = f.Label1.Caption;
    b.level = f.Label4.Caption;
    b.counter = f.Label8.Caption;
    b.now = s_->host.now();
    b.clipCalls = s_->host.clipCalls;
    return b;
  }

  void hit(const forms::EventHandler& handler) {
    Form1& f = s_->form;
    ++stats_.hits;
    hitThisStep_ = true;
    rule(onShownTarget(pointer_) && pressOnTarget_,
         "only a target that shows above the fence can be hit, by a press and release on it");
    rule(running(), "no hit between games");
    const double score = forms::numberOf(f.Label1.Caption);
    const double level = forms::numberOf(f.Label4.Caption);
    const bool pause = f.Timer4.Enabled;
    const std::string counter = f.Label8.Caption;
    const size_t sounds = s_->host.sounds.size();
    handler();
    rule(s_->host.sounds.size() > sounds && s_->host.sounds[sounds] == 7,
         "a hit sounds the shot first");
    if (level == 5 && score == 90 && !pause) {
      ++stats_.wins;
      wonThisStep_ = true;
      rule(!running() && f.Label2.Caption == "Vyhrál jsi" && f.Label1.Caption == "0" &&
               f.Label4.Caption == "1" && f.Label8.Caption == "120",
           "the tenth scoring hit of level 5 wins the game");
      return;
    }
    rule(running() && f.Timer4.Enabled && !f.Timer1.Enabled && !f.Timer2.Enabled &&
             !f.Timer3.Enabled,
         "a hit stops the target for the pause after a hit");
    rule(f.Image2.Picture.get() == f.Image1.Picture.get(), "a hit shows the hit picture");
    rule(f.Label8.Caption == counter, "a hit never changes the counter");
    double wantScore = score, wantLevel = level;
    if (score == 90 && level < 5) {
      wantScore = 0, wantLevel = level + 1;
      ++stats_.levelUps;
    } else if (!pause) {
      wantScore = score + 10;
    }
    if (!pause)
      ++stats_.scoringHits;
    rule(forms::numberOf(f.Label1.Caption) == wantScore &&
             forms::numberOf(f.Label4.Caption) == wantLevel,
         "a hit scores 10 outside the pause, and one that finds 90 raises the level");
  }

  void check(const Before& before) {
    Form1& f = s_->form;
    RecordingHost& host = s_->host;
    const bool game = running();
    const bool about = f.Label9.Caption == "OK";
    const bool startedOnce = host.starts > 0;
    // The same game before and after the step: no START or STOP in between.
    const bool sameGame = before.running && game && host.clipCalls == before.clipCalls;

    rule(game || f.Label6.Caption == "START", "START/STOP reads START or STOP");

    const int relay = f.Timer1.Enabled + f.Timer2.Enabled + f.Timer3.Enabled + f.Timer4.Enabled;
    rule(relay == (game && !about ? 1 : 0),
         "exactly one timer of the target's relay runs during a game, none while the about "
         "panel holds it or between games");

    const double score = forms::numberOf(f.Label1.Caption);
    const double level = forms::numberOf(f.Label4.Caption);
    const double counter = forms::numberOf(f.Label8.Caption);
    if (!startedOnce) {
      rule(f.Label1.Caption.get().empty() && f.Label4.Caption.get().empty() &&
               f.Label8.Caption.get().empty(),
           "score, level and counter are empty until the first game");
    } else {
      rule(wholeCaption(f.Label1.Caption) && wholeCaption(f.Label4.Caption) &&
               wholeCaption(f.Label8.Caption),
           "score, level and counter read as whole numbers");
      if (game) {
        rule(score >= 0 && score <= 90 && std::fmod(score, 10) == 0,
             "the score reads 0 to 90 in tens during a game");
        rule(level >= 1 && level <= 5, "the level reads 1 to 5 during a game");
        rule(counter >= 1, "the counter reads at least 1 during a game");
      } else {
        rule(f.Label1.Caption == "0" && f.Label4.Caption == "1" && f.Label8.Caption == "120",
             "between games the score reads 0, the level 1 and the counter 120");
      }
    }

    rule(f.Label2.Visible == !game, "the message shows exactly between games");
    if (startedOnce && !game)
      rule(f.Label2.Caption == "Game over" || f.Label2.Caption == "Vyhrál jsi",
           "a game ends in \"Game over\" or \"Vyhrál jsi\"");
    if (before.running && !game) {
      rule(f.Label2.Caption == (wonThisStep_ ? "Vyhrál jsi" : "Game over"),
           "only the winning hit shows \"Vyhrál jsi\"");
      if (lastAct_ == Act::Wait)
        ++stats_.countdowns;
    }

    const double top = f.Image2.Top;
    rule(top >= kPeak && top <= kFenceTop, "the target's Top lies within 1020 to 1560");
    rule(top == kFenceTop || (game && !about && !f.Timer1.Enabled),
         "the target rests at 1560 between appearances, between games and under the about panel");
    const double left = f.Image2.Left;
    rule(isWhole(left) && left >= 1 && left <= 3960,
         "the target's Left is a whole number from 1 to 3960");

    static constexpr std::array<int, 5> kSpeeds{60, 90, 108, 135, 180};
    const bool levelOk = isWhole(level) && level >= 1 && level <= 5;
    rule(game ? levelOk && f.speed == kSpeeds[static_cast<size_t>(levelOk ? level - 1 : 0)]
              : f.speed == 60,
         "the target's speed is its level's, and 60 between games");
    if (f.Timer2.Enabled || f.Timer3.Enabled)
      rule(std::fmod(kFenceTop - top, f.speed) == 0, "the target moves in whole steps of speed");
    rule(f.won == 0, "won is 0 but inside the winning hit");

    rule(game ? host.clip == kGameClip : !host.clip,
         "the cursor is confined to the window exactly while a game runs");

    const bool birdShot = std::find(host.sounds.begin(), host.sounds.end(), 9) != host.sounds.end();
    if (birdShot && !before.running && !game)
      ++stats_.birdShotsBetweenGames;
    if (sameGame) {
      rule(hitThisStep_ || (f.Label1.Caption == before.score && f.Label4.Caption == before.level),
           "only hits change the score and the level during a game");
      const double rise = counter - forms::numberOf(before.counter);
      if (rise > 0) {
        ++stats_.birdScores;
        rule(rise <= 5 && birdShot, "the counter rises only by 5, through a hit on the bird");
      }
      if (before.now == host.now())
        rule(rise == 0 || rise == 5, "without time passing the counter only rises by 5");
    }
    if (game && about && !before.about)
      ++stats_.aboutPauses;

    rule(f.Label12.Caption.get().empty() || (f.Label12.Caption == "+05" && f.Timer7.Enabled),
         "\"+05\" shows only while a bird hit is on display");
    const double birdLeft = f.Image3.Left, birdTop = f.Image3.Top;
    rule(isWhole(birdTop) && birdTop >= 1 && birdTop <= 840,
         "the bird flies at a whole height from 1 to 840");
    rule(isWhole(birdLeft) && birdLeft >= -150 && birdLeft <= 4650 &&
             std::fmod(birdLeft + 150, 100) == 0,
         "the bird moves in steps of 100 from -150 to 4650");

    const bool panel = f.Shape1.Visible && f.Label10.Visible && !f.Label6.Enabled;
    const bool status = f.Label1.Visible && f.Label3.Visible && f.Label4.Visible &&
                        f.Label5.Visible && f.Label7.Visible && f.Label8.Visible;
    const bool noPanel = !f.Shape1.Visible && !f.Label10.Visible && f.Label6.Enabled;
    const bool noStatus = !f.Label1.Visible && !f.Label3.Visible && !f.Label4.Visible &&
                          !f.Label5.Visible && !f.Label7.Visible && !f.Label8.Visible;
    rule(about ? panel && noStatus : f.Label9.Caption == "ABOUT" && noPanel && status,
         "the about panel, its OK, the disabled START/STOP and the hidden status row go together");

    int frames = 0;
    for (auto lines : {std::array{&f.line1, &f.line2, &f.line3, &f.line4},
                       std::array{&f.Line5, &f.Line6, &f.Line7, &f.Line8},
                       std::array{&f.Line9, &f.Line10, &f.Line11, &f.Line12}}) {
      const bool shown = lines[0]->Visible;
      rule(std::all_of(lines.begin(), lines.end(), [&](auto* l) { return l->Visible == shown; }),
           "a button's frame shows whole or not at all");
      frames += shown;
    }
    rule(frames <= 1, "at most one button frame shows");

    rule(std::none_of(host.sounds.begin(), host.sounds.end(), [](int id) { return id < 0; }) &&
             host.messageBoxes().empty(),
         "every sound comes from the bank");

    if (host.screen && step_ - runStart_ > kScreenSteps)
      host.screen.reset();
    if (host.screen && !f.ended()) {
      const std::string differs = host.screen->differs(f.paint());
      rule(differs.empty(), ("the screen shows what the game's state says: " + differs).c_str());
    }
  }

  void rule(bool ok, const char* what) {
    if (ok || !failure_.empty())
      return;
    const Form1& f = s_->form;
    std::ostringstream o;
    o << "seed " << seed_ << ", run " << stats_.runs << ", step " << step_ << " at "
      << s_->host.now() << " ms: broken rule: " << what << "\n  state: " << f.Label6.Caption.get()
      << ", " << f.Label9.Caption.get() << ", score \"" << f.Label1.Caption.get() << "\", level \""
      << f.Label4.Caption.get() << "\", counter \"" << f.Label8.Caption.get() << "\", message \""
      << f.Label2.Caption.get() << "\", timers ";
    for (const forms::Timer* t :
         {&f.Timer1, &f.Timer2, &f.Timer3, &f.Timer4, &f.Timer5, &f.Timer6, &f.Timer7})
      o << (t->Enabled ? '1' : '0');
    o << ", target at (" << f.Image2.Left << ", " << f.Image2.Top << "), speed " << f.speed
      << ", bird at (" << f.Image3.Left << ", " << f.Image3.Top << "), cursor "
      << (s_->host.clip ? "confined" : "free") << ", pointer (" << pointer_.tx() << ", "
      << pointer_.ty() << ")\n  last inputs, oldest first:\n";
    for (size_t i = 0; i < trace_.size(); ++i) {
      const Input& in = trace_[(traceNext_ + i) % trace_.size()];
      if (in.step == 0)
        continue;
      static constexpr const char* kNames[] = {"wait",         "move",    "button", "click",
                                               "double click", "uncover", "exit",   "close box"};
      o << "    step " << in.step << " at " << in.at << " ms: " << kNames[static_cast<int>(in.act)];
      if (in.act == Act::Button)
        o << (in.down ? " down" : " up");
      if (in.act != Act::Wait && in.act != Act::Uncover && in.act != Act::Close)
        o << " (" << in.p.tx() << ", " << in.p.ty() << ")";
      if (in.act == Act::Button || in.act == Act::Click || in.act == Act::DoubleClick)
        o << " button " << in.button;
      if (in.ms)
        o << " after " << in.ms << " ms";
      o << "\n";
    }
    o << "  again: VOMBREL_RANDOM_PLAY_SEED=" << seed_;
    failure_ = o.str();
  }

  void remember(const Input& in) {
    trace_[traceNext_] = in;
    traceNext_ = (traceNext_ + 1) % trace_.size();
  }

  unsigned seed_;
  std::mt19937 rng_;
  long stepsLeft_;
  long step_ = 0, runStart_ = 0;
  std::unique_ptr<Session> s_;
  Stats& stats_;
  std::string failure_;

  std::discrete_distribution<int> actDist_, whereDist_, waitDist_;
  long moodLeft_ = 0;
  Mood mood_ = Mood::Random;
  Act lastAct_ = Act::Wait;

  Point pointer_;
  bool buttonDown_ = false, pressOnTarget_ = false;
  int heldButton_ = 1;
  forms::Millis pressAt_ = 0;
  long hitsAtPress_ = 0;
  bool hitThisStep_ = false, wonThisStep_ = false;

  std::array<Input, 16> trace_{};
  size_t traceNext_ = 0;
};

TEST(RandomPlay, KeepsTheRulesOfTheGameWhateverThePlayerDoes) {
  const long steps = envLong("VOMBREL_RANDOM_PLAY_STEPS", kDefaultSteps);
  const long onlySeed = envLong("VOMBREL_RANDOM_PLAY_SEED", 0);
  const auto started = std::chrono::steady_clock::now();
  Stats total;
  long failures = 0;
  const long seeds = onlySeed ? 1 : (steps + kStepsPerSeed - 1) / kStepsPerSeed;
  for (long i = 0; i < seeds; ++i) {
    const auto seed = static_cast<unsigned>(onlySeed ? onlySeed : i + 1);
    RandomPlay play(seed, std::min(kStepsPerSeed, steps - i * kStepsPerSeed), total);
    play.play();
    if (!play.failure().empty()) {
      ++failures;
      ADD_FAILURE() << play.failure();
    }
  }
  // The default run and longer ones must reach every corner the rules speak of.
  if (steps >= kDefaultSteps && !onlySeed) {
    EXPECT_GT(total.levelUps, 0);
    EXPECT_GT(total.wins, 0);
    EXPECT_GT(total.countdowns, 0);
    EXPECT_GT(total.birdScores, 0);
    EXPECT_GT(total.birdShotsBetweenGames, 0);
    EXPECT_GT(total.aboutPauses, 0);
    EXPECT_GT(total.missedLate, 0);
    EXPECT_GT(total.exits, 0);
    EXPECT_GT(total.closes, 0);
    EXPECT_GT(total.leftDuringGame, 0);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cout << "random play: " << total.steps << " steps, " << seeds << " seeds, " << seconds
            << " s, failures: " << failures << "\n  " << total.runs << " runs, " << total.games
            << " games, " << total.hits << " hits (" << total.scoringHits << " scoring), "
            << total.levelUps << " level-ups, " << total.wins << " wins, " << total.countdowns
            << " games run out, " << total.aboutPauses << " about pauses, " << total.birdScores
            << " bird scores, " << total.birdShotsBetweenGames << " bird shots between games, "
            << total.missedLate << " late releases from the target that missed, " << total.exits
            << " exits, " << total.closes << " close boxes, " << total.leftDuringGame
            << " left during a game\n";
}

}  // namespace
