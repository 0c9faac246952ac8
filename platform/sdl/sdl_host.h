// The real host: one SDL2 window with a software renderer, SDL2_ttf text, sound through SDL's
// audio queue and the mouse grab for confining the cursor. The program makes one and hands it to
// the game's loop (vombrel::run, over platform::Session), which opens the window, waits on it
// for input and time, and renders the form's frames into it:
//
//   auto host = platform::createSdlHost(desktop::ViewChoices(commandLine, settingsFile, warn));
//   return vombrel::run(*host);
//
// The window opens at the whole factor the player chose (platform/desktop/view_choice.h), and
// the host itself answers the view keys: F11 and Alt+Enter for fullscreen, Ctrl+plus, minus and
// 0 for the window's size. The game never sees them; it sees the scene's 304 x 213 pixels at
// every factor, and a click on the black border around a fullscreen scene not at all.
//
// The host refuses to run without a display rather than drawing into SDL's offscreen driver,
// and it falls silent, never fails, when there is no sound device. While nothing moves and no
// sound plays it makes no wake-ups at all: no timers, no audio thread. Nothing of SDL shows here.
#pragma once

#include <memory>

#include "platform/desktop/view_choice.h"
#include "platform/host.h"

namespace platform {

std::unique_ptr<BlockingHost> createSdlHost(desktop::ViewChoices choices = {});

}  // namespace platform
