// Drives the game on a host: creates Form1, opens its window and delivers input and time to it
// until the program ends. This is the one place a form meets a session, whatever the host.
//
// A host that can block (SDL; tests and benchmarks may pass another) runs the loop here:
//
//   return vombrel::run(*host);   // 0 when the player ends the game, 1 when it cannot start
//
// A benchmark may watch the game from inside the loop, to time what the player would see:
//
//   vombrel::run(*host, [&](const Form1& form) { note(host->now(), form.Image2.Top); });
//
// A host that calls the program back is handed the loop. The page returns at once, and its
// callbacks run the game from then on; the Windows host returns when the program has ended:
//
//   static platform::web::WebHost host;
//   vombrel::serve(host);
//
//   return vombrel::serve(*win32Host);   // 0 when the player ends the game, 1 when it cannot start
#pragma once

#include <functional>

#include "platform/host.h"

class Form1;

namespace vombrel {

// Called after every round of due timers, before the repaint; it only looks.
using AfterTimers = std::function<void(const Form1&)>;

int run(platform::BlockingHost& host, const AfterTimers& afterTimers = {});

// Once per program: the loop lives on with the host, which must live as long as the page. 1 when
// the run the host began could not start, else 0.
int serve(platform::CallbackHost& host);

}  // namespace vombrel
