// Whole-process figures of the game beside a bare SDL2 window (bare_window), measured in the same
// run on the current X display: start-up time to a mapped window, peak memory, CPU and wake-ups
// while idle, and CPU while a game runs against the bare window redrawing every 55 ms.
//
//   process_bench [--runs N] [--factors]   (default 5 runs; needs DISPLAY, e.g. under Xvfb)
//
// --factors adds the game at its sizes on a big screen (1920 x 1080 is the one to report): the
// start-up at 1x and at the screen's default factor, and the CPU during a game at 1x and in
// fullscreen, where the scene is at the largest factor that fits. The game reads no settings of
// the user's here: each run has an empty settings folder of its own.
//
// Each figure is the median over the runs. The game idles twice, before its first game and
// after a game was stopped (the sounds of START and STOP have played by then); it plays after a
// real click on START (xdotool), with the target going up and down, until a click on STOP. Its
// peak memory is read twice: after start-up, and just before it is ended, after all of that
// (the first sound opens the sound device, which brings the system's audio libraries).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/x11_probe.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kSettle = 1s;                 // after the window shows, before measuring
constexpr auto kMeasure = 3s;                // each measurement of CPU and wake-ups
constexpr auto kGameWarmUp = 500ms;          // from START to the first appearance of the target
const support::Point kStartButton{52, 190};  // START, and STOP while a game runs

// CPU time the process has used so far (user and system, all threads), in seconds.
std::optional<double> cpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t afterName = stat.rfind(')');
  if (afterName == std::string::npos) {
    return std::nullopt;
  }
  // After the name: state, then fields 4 to 13, then utime and stime (fields 14 and 15).
  std::istringstream fields(stat.substr(afterName + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 13 && fields >> field; ++i) {
  }
  if (!(fields >> utime >> stime)) {
    return std::nullopt;
  }
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// The most resident memory the process has had (VmHWM), in MiB.
std::optional<double> peakMiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
  }
  return std::nullopt;
}

// Context switches of each thread of the process so far, voluntary and involuntary together:
// every time a thread went to sleep or was put aside. Keyed by thread id.
std::optional<std::map<std::string, unsigned long long>> switchesByThread(pid_t pid) {
  std::map<std::string, unsigned long long> switches;
  std::error_code error;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    std::ifstream in(task.path() / "status");
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
          line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
        switches[task.path().filename().string()] +=
            std::strtoull(line.c_str() + line.find(':') + 1, nullptr, 10);
      }
    }
  }
  if (error || switches.empty()) {
    return std::nullopt;
  }
  return switches;
}

// What a process used over one measurement period: CPU, and how often its threads woke.
struct Usage {
  double cpuPercent = 0;  // of one core
  double wakeUpsPerSecond = 0;
};

// A program under measurement, from the moment it is started.
struct Launched {
  std::unique_ptr<support::ChildProcess> process;
  support::WindowId window = 0;
  double startupMs = 0;
  std::string error;
};

// The game's remembered window size must not be the developer's.
const std::string kNoSettings =
    (std::filesystem::temp_directory_path() / ("vombrel-bench-" + std::to_string(getpid())))
        .string();

Launched launch(support::XProbe& x, const std::string& path, const std::string& title,
                std::vector<std::string> args = {}) {
  Launched l;
  auto start = std::chrono::steady_clock::now();
  support::ChildOptions options;
  options.args = std::move(args);
  options.env = {{"XDG_CONFIG_HOME", kNoSettings}};
  l.process = std::make_unique<support::ChildProcess>(path, options);
  if (!l.process->started()) {
    l.error = l.process->error();
    return l;
  }
  std::optional<support::WindowId> w = x.findWindow(l.process->pid(), title, 20s);
  if (!w) {
    l.error = path + " showed no window \"" + title + "\"";
    return l;
  }
  l.window = *w;
  l.startupMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return l;
}

// A thread that starts during the period counts from zero; one that ends takes its switches
// with it, so the figure is then a little low (a sound device closing as it falls idle).
std::optional<Usage> measure(pid_t pid) {
  auto switchesBefore = switchesByThread(pid);
  std::optional<double> cpuBefore = cpuSeconds(pid);
  std::this_thread::sleep_for(kMeasure);
  std::optional<double> cpuAfter = cpuSeconds(pid);
  auto switchesAfter = switchesByThread(pid);
  if (!switchesBefore || !cpuBefore || !cpuAfter || !switchesAfter) {
    return std::nullopt;
  }
  unsigned long long wakeUps = 0;
  for (const auto& [thread, count] : *switchesAfter) {
    auto before = switchesBefore->find(thread);
    wakeUps += count - (before == switchesBefore->end() ? 0 : before->second);
  }
  const double seconds = std::chrono::duration<double>(kMeasure).count();
  return Usage{(*cpuAfter - *cpuBefore) / seconds * 100.0, double(wakeUps) / seconds};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Figures {
  std::vector<double> startupMs, peakMiB, idleCpu, idleWakeUps, busyCpu, busyWakeUps;
  std::vector<double> afterGameCpu, afterGameWakeUps, afterGamePeakMiB;  // the game only
};

// The command line that clicks START (STOP during a game) where it shows in the window: the scene
// at the largest whole factor that fits, in the window's middle.
std::vector<std::string> clickStart(support::XProbe& x, support::WindowId window) {
  support::Point o = x.origin(window), size = x.size(window);
  int k = std::max(1, std::min(size.x / 304, size.y / 213));
  int left = o.x + (size.x - 304 * k) / 2, top = o.y + (size.y - 213 * k) / 2;
  return {"mousemove", std::to_string(left + kStartButton.x * k),
          std::to_string(top + kStartButton.y * k), "click", "1"};
}

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "process_bench: %s\n", why.c_str());
  std::exit(1);
}

constexpr const char* kUsage = "CPU time and context switches";

template <class T>
T need(std::optional<T> value, const char* what) {
  if (!value) {
    fail(std::string("cannot read ") + what + " from /proc");
  }
  return *value;
}

void printRow(const char* name, double bare, double game, bool compare) {
  double ratio = bare > 0 ? game / bare : 0;
  if (compare) {
    std::printf("%-36s %12.2f %10.2f %8.2f   %s\n", name, bare, game, ratio,
                ratio <= 1.5 ? "yes" : "NO");
  } else {
    std::printf("%-36s %12.2f %10.2f %8s   %s\n", name, bare, game, "-", "(for information)");
  }
}

// A game at the size the arguments ask for: its start-up to a mapped window, the factor it shows
// the scene at, and its CPU during a game (START clicked where it shows).
struct Sized {
  double startupMs = 0, busyCpu = 0;
  int factor = 1;
};

Sized playAt(support::XProbe& x, std::vector<std::string> args, bool play) {
  Launched g = launch(x, VOMBREL_BINARY, "Vombrel !!!!", std::move(args));
  if (!g.error.empty()) {
    fail(g.error);
  }
  // Fullscreen comes after the window maps: the size settles before anything is measured.
  std::this_thread::sleep_for(kSettle);
  support::Point size = x.size(g.window);
  Sized s{g.startupMs, 0, std::max(1, std::min(size.x / 304, size.y / 213))};
  if (play) {
    if (!support::xdotool(clickStart(x, g.window))) {
      fail("xdotool could not click START");
    }
    std::this_thread::sleep_for(kGameWarmUp);
    s.busyCpu = need(measure(g.process->pid()), kUsage).cpuPercent;
  }
  g.process->stop();
  return s;
}

void measureFactors(support::XProbe& x, int runs) {
  std::vector<double> startup1, startupUsual, cpu1, cpuFull;
  int usual = 1, full = 1;
  for (int run = 1; run <= runs; ++run) {
    std::fprintf(stderr, "factors: run %d of %d\n", run, runs);
    Sized one = playAt(x, {"--scale", "1"}, true);
    startup1.push_back(one.startupMs);
    cpu1.push_back(one.busyCpu);
    Sized byDefault = playAt(x, {}, false);
    startupUsual.push_back(byDefault.startupMs);
    usual = byDefault.factor;
    Sized fullscreen = playAt(x, {"--fullscreen"}, true);
    cpuFull.push_back(fullscreen.busyCpu);
    full = fullscreen.factor;
  }
  auto row = [](const std::string& name, double value) {
    std::printf("%-48s %8.2f\n", name.c_str(), value);
  };
  std::printf("\nThe game at its sizes, median of %d runs\n\n", runs);
  row("start-up at 1x (ms)", median(startup1));
  row("start-up at the default factor, " + std::to_string(usual) + "x (ms)", median(startupUsual));
  row("CPU during a game at 1x (% of a core)", median(cpu1));
  row("CPU during a game in fullscreen, " + std::to_string(full) + "x (% of a core)",
      median(cpuFull));
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  bool factors = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--factors") == 0) {
      factors = true;
    } else {
      std::fprintf(stderr, "usage: process_bench [--runs N] [--factors]\n");
      return 2;
    }
  }
  support::XProbe x;
  if (!x.connected()) {
    fail(x.error());
  }

  Figures bare, redraw, game;
  for (int run = 1; run <= runs; ++run) {
    std::fprintf(stderr, "run %d of %d\n", run, runs);

    Launched b = launch(x, BARE_WINDOW_BINARY, "bare SDL2 window");
    if (!b.error.empty()) {
      fail(b.error);
    }
    bare.startupMs.push_back(b.startupMs);
    std::this_thread::sleep_for(kSettle);
    Usage bareIdle = need(measure(b.process->pid()), kUsage);
    bare.idleCpu.push_back(bareIdle.cpuPercent);
    bare.idleWakeUps.push_back(bareIdle.wakeUpsPerSecond);
    bare.peakMiB.push_back(need(peakMiB(b.process->pid()), "VmHWM"));
    b.process->stop();

    Launched r = launch(x, BARE_WINDOW_BINARY, "bare SDL2 window", {"--redraw-every-55ms"});
    if (!r.error.empty()) {
      fail(r.error);
    }
    std::this_thread::sleep_for(kSettle);
    Usage redrawing = need(measure(r.process->pid()), kUsage);
    redraw.busyCpu.push_back(redrawing.cpuPercent);
    redraw.busyWakeUps.push_back(redrawing.wakeUpsPerSecond);
    r.process->stop();

    Launched g = launch(x, VOMBREL_BINARY, "Vombrel !!!!");
    if (!g.error.empty()) {
      fail(g.error);
    }
    game.startupMs.push_back(g.startupMs);
    std::this_thread::sleep_for(kSettle);
    Usage gameIdle = need(measure(g.process->pid()), kUsage);
    game.idleCpu.push_back(gameIdle.cpuPercent);
    game.idleWakeUps.push_back(gameIdle.wakeUpsPerSecond);
    // Peak memory of a started program, before a game opens the sound device.
    game.peakMiB.push_back(need(peakMiB(g.process->pid()), "VmHWM"));
    const std::vector<std::string> clickStartStop = clickStart(x, g.window);
    if (!support::xdotool(clickStartStop)) {
      fail("xdotool could not click START");
    }
    std::this_thread::sleep_for(kGameWarmUp);
    Usage playing = need(measure(g.process->pid()), kUsage);
    game.busyCpu.push_back(playing.cpuPercent);
    game.busyWakeUps.push_back(playing.wakeUpsPerSecond);
    if (!support::xdotool(clickStartStop)) {
      fail("xdotool could not click STOP");
    }
    std::this_thread::sleep_for(kSettle);
    Usage afterGame = need(measure(g.process->pid()), kUsage);
    game.afterGameCpu.push_back(afterGame.cpuPercent);
    game.afterGameWakeUps.push_back(afterGame.wakeUpsPerSecond);
    game.afterGamePeakMiB.push_back(need(peakMiB(g.process->pid()), "VmHWM"));
    g.process->stop();
  }

  const char* display = std::getenv("DISPLAY");
  std::printf("Vombrel beside a bare SDL2 window: median of %d runs, DISPLAY=%s\n\n", runs,
              display ? display : "");
  std::printf("%-36s %12s %10s %8s   %s\n", "", "bare window", "game", "ratio", "within 1.5x");
  printRow("start-up to mapped window (ms)", median(bare.startupMs), median(game.startupMs), true);
  printRow("peak memory after start, VmHWM (MiB)", median(bare.peakMiB), median(game.peakMiB),
           true);
  printRow("peak memory after a game (MiB)", median(bare.peakMiB), median(game.afterGamePeakMiB),
           true);
  printRow("CPU idle, no input (% of a core)", median(bare.idleCpu), median(game.idleCpu), false);
  printRow("CPU idle after a game (% of a core)", median(bare.idleCpu), median(game.afterGameCpu),
           false);
  printRow("wake-ups idle, no input (per s)", median(bare.idleWakeUps), median(game.idleWakeUps),
           false);
  printRow("wake-ups idle after a game (per s)", median(bare.idleWakeUps),
           median(game.afterGameWakeUps), false);
  printRow("CPU during a game (% of a core)", median(redraw.busyCpu), median(game.busyCpu), true);
  printRow("wake-ups during a game (per s)", median(redraw.busyWakeUps), median(game.busyWakeUps),
           false);
  std::printf(
      "\n(the bare window's figures during a game are bare_window --redraw-every-55ms; it has\n"
      "no game to stop, so its idle figures stand beside both of the game's; wake-ups are\n"
      "context switches of all threads)\n");
  if (factors) {
    measureFactors(x, runs);
  }
  std::filesystem::remove_all(kNoSettings);
  return 0;
}
