// Runs the game on a host: opens the window, creates Form1, and delivers input and time to it
// until the program ends. The real program passes the SDL host; tests and benchmarks may pass
// another.
//
//   return vombrel::run(*host);   // 0 when the player ends the game, 1 when it cannot start
#pragma once

#include "platform/host.h"

namespace vombrel {

int run(platform::Host& host);

}  // namespace vombrel
