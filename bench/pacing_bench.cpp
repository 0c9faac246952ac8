// How evenly the real program keeps the target's pace, and whether anything stalls it: the target
// rises and sinks by one step per tick of its timers (the runtime's shortest period, 55 ms), and
// a late tick must not push the rest of its run later. This runs the game's own loop on the SDL
// host under the current X display, clicks START for real (xdotool), then shoots into the empty
// sky every 2 s, so that sounds start and end, and the sound device opens and closes, while the
// target moves. It notes the host clock at every step of the target and every tick of its
// timers, and when SDL's audio thread goes (a device closed); at the end it closes the window
// through its close box.
//
//   pacing_bench [--seconds N]    (default 10; needs DISPLAY, e.g. under Xvfb)
//
// It prints the steps and their intervals within a rise or a sink, the drift of each such run
// against its ideal (the time from its first step to its last, less one period per step), how
// many ticks the rise and sink timers gave against the ideal count over the time they ran, and
// how late each tick came after its deadline: overall, and at worst within 300 ms either side of
// each close of the sound device.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/form1.h"
#include "app/game_loop.h"
#include "platform/sdl/sdl_host.h"
#include "tests/support/x11_probe.h"

using namespace std::chrono_literals;

namespace {

const support::Point kStartButton{52, 190};
// Open sky, between the captions at the top and the highest the target or the bird ever goes: a
// shot there hits nothing and plays the shot's sound.
const support::Point kSky{150, 40};
constexpr auto kBetweenShots = 2s;      // a shot's sound and the device's tail fit in between
constexpr forms::Millis kAround = 300;  // how near a tick must be to a close to count as around it
constexpr forms::Millis kLateAllowed = 5;
constexpr double kPaceTolerance = 0.01;

// The target's steps and the ticks of its timers, as the loop sees them after each round of
// timers. Between rounds only the timers move the target: the shots go into empty sky.
class PaceLog {
 public:
  struct Step {
    forms::Millis at;
    bool rising;
  };
  struct Tick {
    forms::Millis at;
    forms::Millis late;  // after the timer's deadline
  };
  // The ticks of one stretch of the rise and sink timers, from the round that started it.
  struct Stretch {
    forms::Millis started;
    std::vector<forms::Millis> ticks;
  };

  PaceLog(platform::Host& host, const Form1& form)
      : host_(host), watched_{{{&form.Timer1, {}}, {&form.Timer2, {}}, {&form.Timer3, {}}}} {}

  void observe(const Form1& form) {
    const forms::Millis now = host_.now();
    period_ = form.Timer2.period();
    const forms::Twips top = form.Image2.Top;
    if (lastTop_ && top != *lastTop_) {
      steps_.push_back({now, top < *lastTop_});
    }
    lastTop_ = top;
    const bool moving = form.Timer2.Enabled || form.Timer3.Enabled;
    if (moving && !moving_) {
      stretches_.push_back({now, {}});
    }
    // A timer that was due has ticked when it is off now or waits for a later deadline.
    for (Watched& w : watched_) {
      if (w.due && now >= *w.due && (!w.timer->Enabled || w.timer->due() != *w.due)) {
        ticks_.push_back({now, now - *w.due});
        if (w.timer != &form.Timer1 && !stretches_.empty()) {
          stretches_.back().ticks.push_back(now);
        }
      }
      w.due = w.timer->Enabled ? std::optional(w.timer->due()) : std::nullopt;
    }
    moving_ = moving;
  }

  forms::Millis period() const { return period_; }
  const std::vector<Step>& steps() const { return steps_; }
  const std::vector<Tick>& ticks() const { return ticks_; }
  const std::vector<Stretch>& stretches() const { return stretches_; }

 private:
  struct Watched {
    const forms::Timer* timer;
    std::optional<forms::Millis> due;
  };

  platform::Host& host_;
  std::array<Watched, 3> watched_;  // the target's wait, rise and sink
  forms::Millis period_ = 0;
  std::optional<forms::Twips> lastTop_;
  bool moving_ = false;
  std::vector<Step> steps_;
  std::vector<Tick> ticks_;
  std::vector<Stretch> stretches_;
};

// Whether SDL's audio thread (named "SDLAudioP<device>") is among this process's threads: it
// runs exactly while a sound device is open, and is gone once a close has drained it.
bool audioThreadRuns() {
  DIR* tasks = opendir("/proc/self/task");
  bool found = false;
  for (dirent* t; tasks != nullptr && !found && (t = readdir(tasks)) != nullptr;) {
    std::ifstream comm(std::string("/proc/self/task/") + t->d_name + "/comm");
    std::string name;
    found = std::getline(comm, name) && name.rfind("SDLAudioP", 0) == 0;
  }
  if (tasks != nullptr) {
    closedir(tasks);
  }
  return found;
}

// Notes the host clock whenever a sound device has closed, looking every 5 ms until told to
// stop. It runs on a thread of its own, so the game's thread is not slowed by the looking.
class CloseWatch {
 public:
  explicit CloseWatch(platform::Host& host)
      : thread_([this, &host] {
          bool open = false;
          while (!stop_) {
            const bool runs = audioThreadRuns();
            if (open && !runs) {
              closes_.push_back(host.now());
            }
            open = runs;
            std::this_thread::sleep_for(5ms);
          }
        }) {}

  // Stops looking; the closes seen until then.
  std::vector<forms::Millis> finish() {
    stop_ = true;
    thread_.join();
    return closes_;
  }

 private:
  std::atomic<bool> stop_ = false;
  std::vector<forms::Millis> closes_;
  std::thread thread_;
};

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "pacing_bench: %s\n", why.c_str());
  std::fflush(stderr);
  std::_Exit(1);  // the other threads may still be waiting, on the display or for input
}

bool clickAt(const support::Point& origin, const support::Point& at) {
  return support::xdotool({"mousemove", std::to_string(origin.x + at.x),
                           std::to_string(origin.y + at.y), "click", "1"});
}

// The player's part, from outside the program through the X server: START once the window
// shows, a shot into the sky every 2 s, then the close box when the time is up. Returns why it
// could not, or nothing.
std::string play(support::XProbe& x, std::chrono::seconds length) {
  std::optional<support::WindowId> window = x.findWindow(getpid(), "Vombrel !!!!", 20s);
  if (!window) {
    fail("the game showed no window");
  }
  std::this_thread::sleep_for(500ms);  // let the window settle before clicking into it
  support::Point o = x.origin(*window);
  std::string error;
  if (!clickAt(o, kStartButton)) {
    error = "xdotool could not click START";
  } else {
    const auto end = std::chrono::steady_clock::now() + length;
    while (std::chrono::steady_clock::now() + kBetweenShots < end && error.empty()) {
      std::this_thread::sleep_for(kBetweenShots);
      if (!clickAt(o, kSky)) {
        error = "xdotool could not shoot";
      }
    }
    std::this_thread::sleep_until(end);
  }
  if (!x.requestClose(*window)) {
    error += (error.empty() ? "" : "; ") + std::string("the window did not take the close request");
  }
  return error;
}

void report(const PaceLog& log, const std::vector<forms::Millis>& closes,
            std::chrono::seconds length) {
  const forms::Millis period = log.period();
  const auto& steps = log.steps();
  std::vector<forms::Millis> intervals;
  std::vector<forms::Millis> drifts;
  std::size_t runStart = 0;
  for (std::size_t i = 1; i <= steps.size(); ++i) {
    if (i < steps.size() && steps[i].rising == steps[runStart].rising) {
      intervals.push_back(steps[i].at - steps[i - 1].at);
      continue;
    }
    // A run ends where the target turns: at the peak, or behind the fence.
    const auto n = static_cast<forms::Millis>(i - 1 - runStart);
    if (n > 0) {
      drifts.push_back(steps[i - 1].at - steps[runStart].at - n * period);
    }
    runStart = i;
  }
  if (intervals.empty()) {
    fail("the target never moved: the game did not start");
  }

  double meanInterval = 0;
  for (forms::Millis d : intervals) {
    meanInterval += double(d) / double(intervals.size());
  }
  forms::Millis worstDrift = 0;
  double meanDrift = 0;
  for (forms::Millis d : drifts) {
    worstDrift = std::abs(d) > std::abs(worstDrift) ? d : worstDrift;
    meanDrift += double(d) / double(drifts.size());
  }
  std::size_t ticks = 0;
  forms::Millis ideal = 0, running = 0;
  for (const auto& s : log.stretches()) {
    if (!s.ticks.empty()) {
      ticks += s.ticks.size();
      running += s.ticks.back() - s.started;
      ideal += (s.ticks.back() - s.started + period / 2) / period;
    }
  }

  // Lateness: of every tick, and at worst near each close of the sound device.
  double meanLate = 0;
  forms::Millis maxLate = 0, maxLateAway = 0;
  for (const auto& t : log.ticks()) {
    meanLate += double(t.late) / double(log.ticks().size());
    maxLate = std::max(maxLate, t.late);
    const bool nearClose = std::any_of(closes.begin(), closes.end(), [&](forms::Millis c) {
      return std::abs(t.at - c) <= kAround;
    });
    maxLateAway = nearClose ? maxLateAway : std::max(maxLateAway, t.late);
  }
  std::string perClose, closeTimes;
  forms::Millis maxLateAround = 0;
  std::size_t ticksAround = 0;
  for (forms::Millis c : closes) {
    std::optional<forms::Millis> worst;
    for (const auto& t : log.ticks()) {
      if (std::abs(t.at - c) <= kAround) {
        worst = std::max(worst.value_or(0), t.late);
        ++ticksAround;
      }
    }
    perClose += (perClose.empty() ? "" : ", ") + (worst ? std::to_string(*worst) : "-");
    closeTimes += (closeTimes.empty() ? "" : ", ") + std::to_string(c);
    maxLateAround = std::max(maxLateAround, worst.value_or(0));
  }

  const char* display = std::getenv("DISPLAY");
  const char* audio = std::getenv("SDL_AUDIODRIVER");
  std::printf(
      "The target's pace in %lld s of a game on the SDL host, DISPLAY=%s, "
      "SDL_AUDIODRIVER=%s\n\n",
      static_cast<long long>(length.count()), display ? display : "",
      audio ? audio : "(SDL's choice)");
  std::printf("%-28s %lld ms (Timer2.period())\n", "period of rise and sink",
              static_cast<long long>(period));
  std::printf("%-28s %zu in %zu runs of rising or sinking\n", "steps of the target", steps.size(),
              drifts.size());
  std::printf("%-28s mean %.2f ms (%+.2f %%), min %lld ms, max %lld ms (ideal %lld ms)\n",
              "interval within a run", meanInterval, 100.0 * (meanInterval / double(period) - 1),
              static_cast<long long>(*std::min_element(intervals.begin(), intervals.end())),
              static_cast<long long>(*std::max_element(intervals.begin(), intervals.end())),
              static_cast<long long>(period));
  std::printf("%-28s mean %+.2f ms, worst %+lld ms (ideal 0)\n", "drift over a run", meanDrift,
              static_cast<long long>(worstDrift));
  std::printf("%-28s %zu against %lld ideal, over %lld ms of the rise and sink timers running\n",
              "ticks of rise and sink", ticks, static_cast<long long>(ideal),
              static_cast<long long>(running));
  std::printf("%-28s mean %.2f ms, max %lld ms, over %zu ticks of the target's timers\n",
              "lateness of a tick", meanLate, static_cast<long long>(maxLate), log.ticks().size());
  std::printf("%-28s %zu, at %s ms\n", "sound device closes", closes.size(),
              closeTimes.empty() ? "-" : closeTimes.c_str());
  std::printf("%-28s max %lld ms over %zu ticks; worst per close: %s ms\n",
              "lateness within 300 ms", static_cast<long long>(maxLateAround), ticksAround,
              perClose.empty() ? "-" : perClose.c_str());
  std::printf("%-28s max %lld ms\n", "lateness elsewhere", static_cast<long long>(maxLateAway));

  const bool paced = std::abs(meanInterval / double(period) - 1) <= kPaceTolerance;
  const bool unstalled = !closes.empty() && ticksAround > 0 && maxLateAround <= kLateAllowed;
  std::printf("\nmean interval within 1 %% of %lld ms: %s\n", static_cast<long long>(period),
              paced ? "yes" : "no");
  std::printf("no tick later than %lld ms around a close: %s\n",
              static_cast<long long>(kLateAllowed),
              closes.empty() || ticksAround == 0 ? "not seen (no close near a tick)"
              : unstalled                        ? "yes"
                                                 : "no");
  std::printf("\n(host clock in whole milliseconds: a single interval reads 1 ms either way)\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::chrono::seconds length = 10s;
  if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0) {
    length = std::chrono::seconds(std::max(1, std::atoi(argv[2])));
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: pacing_bench [--seconds N]\n");
    return 2;
  }
  support::XProbe x;
  if (!x.connected()) {
    fail(x.error());
  }

  auto host = platform::createSdlHost();
  std::optional<PaceLog> log;
  CloseWatch watch(*host);
  std::string playError;
  std::thread player([&] { playError = play(x, length); });
  const int status = vombrel::run(*host, [&log, &host](const Form1& form) {
    if (!log) {
      log.emplace(*host, form);
    }
    log->observe(form);
  });
  player.join();
  const std::vector<forms::Millis> closes = watch.finish();
  if (status != 0) {
    fail("the game could not start");
  }
  if (!playError.empty()) {
    fail(playError);
  }
  if (!log) {
    fail("the game ran no timers");
  }
  report(*log, closes, length);
  return 0;
}
