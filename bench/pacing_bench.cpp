// How evenly the real program keeps the target's pace: the target rises and sinks by one step
// per 10 ms tick, and a late tick must not push the rest of its run later. This runs the game's
// own loop on the SDL host under the current X display, clicks START for real (xdotool), and
// notes the host clock at every step of the target for a few seconds of play, then closes the
// window through its close box.
//
//   pacing_bench [--seconds N]    (default 5; needs DISPLAY, e.g. under Xvfb)
//
// It prints the steps and their intervals within a rise or a sink, the drift of each such run
// against its ideal (the time from its first step to its last, less 10 ms per step), and how
// many 10 ms ticks the rise and sink timers gave against the ideal count over the time they ran.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/form1.h"
#include "app/game_loop.h"
#include "platform/sdl/sdl_host.h"
#include "tests/e2e/x11_probe.h"

using namespace std::chrono_literals;

namespace {

constexpr forms::Millis kTick = 10;  // the period of the rise and sink timers
const e2e::Point kStartButton{52, 190};

// The target's steps and the 10 ms ticks, as the loop sees them after each round of timers.
// Between rounds only the timers move the target, as nobody touches the mouse meanwhile.
class PaceLog {
 public:
  struct Step {
    forms::Millis at;
    bool rising;
  };
  // The ticks of one stretch of the rise and sink timers, from the round that started it.
  struct Stretch {
    forms::Millis started;
    std::vector<forms::Millis> ticks;
  };

  explicit PaceLog(platform::Host& host) : host_(host) {}

  void observe(const Form1& form) {
    const forms::Millis now = host_.now();
    const forms::Twips top = form.Image2.Top;
    if (lastTop_ && top != *lastTop_) {
      steps_.push_back({now, top < *lastTop_});
    }
    lastTop_ = top;
    // The timer that was due has ticked when it is off now or waits for a later deadline.
    if (pending_ && (!pending_->timer->Enabled || pending_->timer->due() != pending_->due)) {
      stretches_.back().ticks.push_back(now);
    }
    const forms::Timer* running = form.Timer2.Enabled   ? &form.Timer2
                                  : form.Timer3.Enabled ? &form.Timer3
                                                        : nullptr;
    if (running && !pending_) {
      stretches_.push_back({now, {}});
    }
    pending_ = running ? std::optional<Pending>({running, running->due()}) : std::nullopt;
  }

  const std::vector<Step>& steps() const { return steps_; }
  const std::vector<Stretch>& stretches() const { return stretches_; }

 private:
  struct Pending {
    const forms::Timer* timer;
    forms::Millis due;
  };

  platform::Host& host_;
  std::optional<forms::Twips> lastTop_;
  std::vector<Step> steps_;
  std::vector<Stretch> stretches_;
  std::optional<Pending> pending_;
};

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "pacing_bench: %s\n", why.c_str());
  std::fflush(stderr);
  std::_Exit(1);  // the other thread may still be waiting, on the display or for input
}

// The player's part, from outside the program through the X server: START once the window
// shows, then the close box when the time is up. Returns why it could not, or nothing.
std::string play(e2e::XProbe& x, std::chrono::seconds length) {
  std::optional<e2e::WindowId> window = x.findWindow(getpid(), "Vombrel !!!!", 20s);
  if (!window) {
    fail("the game showed no window");
  }
  std::this_thread::sleep_for(500ms);  // let the window settle before clicking into it
  e2e::Point o = x.origin(*window);
  std::string error;
  if (!e2e::xdotool({"mousemove", std::to_string(o.x + kStartButton.x),
                     std::to_string(o.y + kStartButton.y), "click", "1"})) {
    error = "xdotool could not click START";
  } else {
    std::this_thread::sleep_for(length);
  }
  if (!x.requestClose(*window)) {
    error += (error.empty() ? "" : "; ") + std::string("the window did not take the close request");
  }
  return error;
}

void report(const PaceLog& log, std::chrono::seconds length) {
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
      drifts.push_back(steps[i - 1].at - steps[runStart].at - n * kTick);
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
      ideal += (s.ticks.back() - s.started + kTick / 2) / kTick;
    }
  }

  const char* display = std::getenv("DISPLAY");
  std::printf("The target's pace in %lld s of a game on the SDL host, DISPLAY=%s\n\n",
              static_cast<long long>(length.count()), display ? display : "");
  std::printf("%-28s %zu in %zu runs of rising or sinking\n", "steps of the target", steps.size(),
              drifts.size());
  std::printf("%-28s mean %.2f ms, min %lld ms, max %lld ms (ideal %lld ms)\n",
              "interval within a run", meanInterval,
              static_cast<long long>(*std::min_element(intervals.begin(), intervals.end())),
              static_cast<long long>(*std::max_element(intervals.begin(), intervals.end())),
              static_cast<long long>(kTick));
  std::printf("%-28s mean %+.2f ms, worst %+lld ms (ideal 0)\n", "drift over a run", meanDrift,
              static_cast<long long>(worstDrift));
  std::printf("%-28s %zu against %lld ideal, over %lld ms of the rise and sink timers running\n",
              "10 ms ticks", ticks, static_cast<long long>(ideal), static_cast<long long>(running));
  std::printf("\n(host clock in whole milliseconds: a single interval reads 1 ms either way)\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::chrono::seconds length = 5s;
  if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0) {
    length = std::chrono::seconds(std::max(1, std::atoi(argv[2])));
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: pacing_bench [--seconds N]\n");
    return 2;
  }
  e2e::XProbe x;
  if (!x.connected()) {
    fail(x.error());
  }

  auto host = platform::createSdlHost();
  PaceLog log(*host);
  std::string playError;
  std::thread player([&] { playError = play(x, length); });
  const int status = vombrel::run(*host, [&log](const Form1& form) { log.observe(form); });
  player.join();
  if (status != 0) {
    fail("the game could not start");
  }
  if (!playError.empty()) {
    fail(playError);
  }
  report(log, length);
  return 0;
}
