// The real host: one SDL2 window with a software renderer, SDL2_ttf text, sound through SDL's
// audio queue and the mouse grab for confining the cursor. The program makes one and hands it to
// the game's loop (vombrel::run, over platform::Session), which opens the window, waits on it
// for input and time, and renders the form's frames into it:
//
//   auto host = platform::createSdlHost();
//   return vombrel::run(*host);
//
// The host refuses to run without a display rather than drawing into SDL's offscreen driver,
// and it falls silent, never fails, when there is no sound device. While nothing moves and no
// sound plays it makes no wake-ups at all: no timers, no audio thread. Nothing of SDL shows here.
#pragma once

#include <memory>

#include "platform/host.h"

namespace platform {

std::unique_ptr<BlockingHost> createSdlHost();

}  // namespace platform
