// The real host: one SDL2 window with a software renderer, SDL2_ttf text, sound through SDL's
// audio queue and the mouse grab for confining the cursor. app/main.cpp creates it, opens the
// window and drives the form with it:
//
//   auto host = platform::createSdlHost();
//   if (auto st = host->open(setup); !st.ok()) { report st.error; exit }
//   host->show();
//   ... wait / render loop (see forms/form.h) ...
//
// The host refuses to run without a display rather than drawing into SDL's offscreen driver,
// and it falls silent, never fails, when there is no sound device. While nothing moves and no
// sound plays it makes no wake-ups at all: no timers, no audio thread. Nothing of SDL shows here.
#pragma once

#include <memory>

#include "platform/host.h"

namespace platform {

std::unique_ptr<Host> createSdlHost();

}  // namespace platform
