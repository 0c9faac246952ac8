// Micro-benchmarks of the game's own work, on the headless host (no window, no clock of its
// own), so that they time the game and its forms runtime, not SDL or the X server:
//
//   micro_bench                      all of them (Google Benchmark flags apply)
//   micro_bench --benchmark_filter=Paint
//
// Painting builds the draw list of the whole scene; the SDL host's rendering of that list is
// part of the process figures (process_bench) instead.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include "app/form1.h"
#include "platform/headless/headless_host.h"

namespace {

// The game's window, loaded and painted once, as it stands when the player first sees it.
struct LoadedGame {
  headless::HeadlessHost host;
  Form1 form{host};
  LoadedGame() {
    form.Load();
    form.paint();
  }
};

// A frame after the score changed, the repaint that every hit causes.
void BM_PaintFrameAfterScoreChange(benchmark::State& state) {
  LoadedGame game;
  int score = 0;
  for (auto _ : state) {
    score = (score + 10) % 1000;
    game.form.Label1.Caption = std::to_string(score);
    benchmark::DoNotOptimize(game.form.paint());
  }
}
BENCHMARK(BM_PaintFrameAfterScoreChange);

// A mouse move over open sky, routed to the window's handler: the commonest event of all.
void BM_RouteMouseMove(benchmark::State& state) {
  LoadedGame game;
  forms::MouseInput move{.type = forms::MouseInput::Type::Move};
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    move.x = flip ? 150 : 160;
    move.y = flip ? 70 : 75;
    game.form.mouse(move);
  }
}
BENCHMARK(BM_RouteMouseMove);

// One due timer of a running game: almost always a 55 ms step of the target's rise or sink.
// When a game runs out of appearances it is started again, outside the timing.
void BM_TargetCycleTick(benchmark::State& state) {
  LoadedGame game;
  game.form.Label6_Click();
  for (auto _ : state) {
    std::optional<forms::Millis> due = game.form.nextTimerDue();
    if (!due) {
      state.PauseTiming();
      game.form.Label6_Click();
      state.ResumeTiming();
      continue;
    }
    game.host.setNow(*due);
    game.form.runDueTimers();
  }
}
BENCHMARK(BM_TargetCycleTick);

}  // namespace

BENCHMARK_MAIN();
