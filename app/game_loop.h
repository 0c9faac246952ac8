// Runs the game on a blocking host: creates Form1, opens its window and delivers input and time
// to it until the program ends. The SDL and Win32 programs pass their host; tests and benchmarks
// may pass another.
//
//   return vombrel::run(*host);   // 0 when the player ends the game, 1 when it cannot start
//
// A benchmark may watch the game from inside the loop, to time what the player would see:
//
//   vombrel::run(*host, [&](const Form1& form) { note(host->now(), form.Image2.Top); });
#pragma once

#include <functional>

#include "platform/host.h"

class Form1;

namespace vombrel {

// Called after every round of due timers, before the repaint; it only looks.
using AfterTimers = std::function<void(const Form1&)>;

int run(platform::BlockingHost& host, const AfterTimers& afterTimers = {});

}  // namespace vombrel
