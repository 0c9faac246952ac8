// The native Windows host: one window of the WIN32 API (win32_view.h), drawn with GDI
// (win32_painter.h), its sounds through WinMM's sndPlaySoundA (win32_sound.h), the cursor
// confined with ClipCursor (win32_confinement.h). It calls the game's loop back from the
// window's messages, and the game goes on while the system holds the thread in a loop of its
// own, the title bar dragged or the window menu open (win32_message_loop.h). The program makes
// one and hands it the game's loop, which returns when the game is over:
//
//   auto host = platform::createWin32Host({}, desktop::ViewChoices(commandLine, file, warn));
//   return vombrel::serve(*host);
//
// The window's icon and gun sight are the program's ICON and CURSOR resources 1 (vombrel.rc).
// A window that cannot open says why in a message box, as a program without a console must.
// While a game runs the system's timer ticks every millisecond, so that the 55 ms steps of the
// target keep their grid; at STOP it goes back to its default, and an idle window never wakes.
// The window opens at the whole factor the player chose (platform/desktop/view_choice.h), and
// the host itself answers the view keys: F11 and Alt+Enter for fullscreen (a popup over the
// monitor, the scene centred on black), Ctrl+plus, minus and 0 for the window's size. The game
// never sees them; it sees the scene's 304 x 213 pixels at every factor, and a click on the
// black border not at all.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/desktop/view_choice.h"
#include "platform/host.h"

namespace platform {

struct Win32Options {
  int dpi = 0;  // the screen's dots per inch; 0: what the monitor says
};

std::unique_ptr<CallbackHost> createWin32Host(Win32Options options = {},
                                              desktop::ViewChoices choices = {});

// Writes stdout and stderr to the console of whoever started the program (cmd.exe,
// PowerShell), unless they are sent to a file or a pipe; false when there is neither.
bool attachToConsole();

// What the program has to say before any window opens (its usage, its version, a wrong option),
// in a message box of its own, as a program without a console must.
void showProgramMessage(const std::string& text, bool isError);

// The folder where Windows keeps a user's program settings (%APPDATA%), in UTF-8; nothing when
// unset.
std::optional<std::string> appDataFolder();

}  // namespace platform
