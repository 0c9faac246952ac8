// Whole-process figures of the game beside a bare SDL2 window (bare_window), measured in the same
// run on the current X display: start-up time to a mapped window, peak memory, CPU while idle,
// and CPU while a game runs against the bare window redrawing every 10 ms.
//
//   process_bench [--runs N]    (default 5; needs DISPLAY, e.g. under Xvfb)
//
// Each figure is the median over the runs. The game's CPU while playing is taken after a real
// click on START (xdotool), with the target going up and down; its peak memory is read just
// before it is ended, after idling and playing.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tests/e2e/x11_probe.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kSettle = 1s;         // after the window shows, before measuring
constexpr auto kMeasure = 3s;        // each CPU measurement
constexpr auto kGameWarmUp = 500ms;  // from START to the first appearance of the target

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

// A program under measurement, from the moment it is started.
struct Launched {
  std::unique_ptr<e2e::ChildProcess> process;
  e2e::WindowId window = 0;
  double startupMs = 0;
  std::string error;
};

Launched launch(e2e::XProbe& x, const std::string& path, const std::string& title,
                std::vector<std::string> args = {}) {
  Launched l;
  auto start = std::chrono::steady_clock::now();
  e2e::ChildOptions options;
  options.args = std::move(args);
  l.process = std::make_unique<e2e::ChildProcess>(path, options);
  if (!l.process->started()) {
    l.error = l.process->error();
    return l;
  }
  std::optional<e2e::WindowId> w = x.findWindow(l.process->pid(), title, 20s);
  if (!w) {
    l.error = path + " showed no window \"" + title + "\"";
    return l;
  }
  l.window = *w;
  l.startupMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return l;
}

// Percentage of one core the process uses over the measurement period.
std::optional<double> cpuPercent(pid_t pid) {
  std::optional<double> before = cpuSeconds(pid);
  std::this_thread::sleep_for(kMeasure);
  std::optional<double> after = cpuSeconds(pid);
  if (!before || !after) {
    return std::nullopt;
  }
  return (*after - *before) / std::chrono::duration<double>(kMeasure).count() * 100.0;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Figures {
  std::vector<double> startupMs, peakMiB, idleCpu, busyCpu;
};

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "process_bench: %s\n", why.c_str());
  std::exit(1);
}

double need(std::optional<double> value, const char* what) {
  if (!value) {
    fail(std::string("cannot read ") + what + " from /proc");
  }
  return *value;
}

void printRow(const char* name, double bare, double game, bool compare) {
  double ratio = bare > 0 ? game / bare : 0;
  if (compare) {
    std::printf("%-34s %12.2f %10.2f %8.2f   %s\n", name, bare, game, ratio,
                ratio <= 1.5 ? "yes" : "NO");
  } else {
    std::printf("%-34s %12.2f %10.2f %8s   %s\n", name, bare, game, "-", "(for information)");
  }
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) {
    runs = std::max(1, std::atoi(argv[2]));
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: process_bench [--runs N]\n");
    return 2;
  }
  e2e::XProbe x;
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
    bare.idleCpu.push_back(need(cpuPercent(b.process->pid()), "CPU time"));
    bare.peakMiB.push_back(need(peakMiB(b.process->pid()), "VmHWM"));
    b.process->stop();

    Launched r = launch(x, BARE_WINDOW_BINARY, "bare SDL2 window", {"--redraw-every-10ms"});
    if (!r.error.empty()) {
      fail(r.error);
    }
    std::this_thread::sleep_for(kSettle);
    redraw.busyCpu.push_back(need(cpuPercent(r.process->pid()), "CPU time"));
    r.process->stop();

    Launched g = launch(x, VOMBREL_BINARY, "Vombrel !!!!");
    if (!g.error.empty()) {
      fail(g.error);
    }
    game.startupMs.push_back(g.startupMs);
    std::this_thread::sleep_for(kSettle);
    game.idleCpu.push_back(need(cpuPercent(g.process->pid()), "CPU time"));
    e2e::Point o = x.origin(g.window);
    if (!e2e::xdotool(
            {"mousemove", std::to_string(o.x + 52), std::to_string(o.y + 190), "click", "1"})) {
      fail("xdotool could not click START");
    }
    std::this_thread::sleep_for(kGameWarmUp);
    game.busyCpu.push_back(need(cpuPercent(g.process->pid()), "CPU time"));
    game.peakMiB.push_back(need(peakMiB(g.process->pid()), "VmHWM"));
    g.process->stop();
  }

  const char* display = std::getenv("DISPLAY");
  std::printf("Vombrel beside a bare SDL2 window: median of %d runs, DISPLAY=%s\n\n", runs,
              display ? display : "");
  std::printf("%-34s %12s %10s %8s   %s\n", "", "bare window", "game", "ratio", "within 1.5x");
  printRow("start-up to mapped window (ms)", median(bare.startupMs), median(game.startupMs), true);
  printRow("peak memory, VmHWM (MiB)", median(bare.peakMiB), median(game.peakMiB), true);
  printRow("CPU idle, no input (% of a core)", median(bare.idleCpu), median(game.idleCpu), false);
  printRow("CPU during a game (% of a core)", median(redraw.busyCpu), median(game.busyCpu), true);
  std::printf("\n(the bare window's CPU during a game is bare_window --redraw-every-10ms)\n");
  return 0;
}
