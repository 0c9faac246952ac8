// Vombrel for Windows: a GUI program, so what it has to say comes in message boxes. It takes the
// options of the desktop program (platform/desktop/command_line.h): --help and --version show
// their text and exit with 0; a wrong option shows what was wrong and the usage and exits with 2
// before any window opens. It remembers the window's size and fullscreen in
// %APPDATA%\Vombrel\settings.ini. It exits with 0 when the player leaves, or with 1 after a
// message box that says why the window could not open. mingw-w64 starts a GUI program at main()
// as it does a console one, so nothing of windows.h is needed here.
#include <cstdio>
#include <optional>

#include "app/game_loop.h"
#include "platform/desktop/command_line.h"
#include "platform/win32/win32_host.h"

namespace desktop = platform::desktop;

int main(int argc, char** argv) {
  desktop::CommandLine cl = desktop::parseCommandLine({argv + 1, argv + argc});
  switch (cl.action) {
    case desktop::CommandLine::Action::Help:
      platform::showProgramMessage(desktop::usage(), false);
      return 0;
    case desktop::CommandLine::Action::Version:
      platform::showProgramMessage(desktop::versionText(), false);
      return 0;
    case desktop::CommandLine::Action::Wrong:
      platform::showProgramMessage(cl.error + "\n\n" + desktop::usage(), true);
      return 2;
    case desktop::CommandLine::Action::Play:
      break;
  }
  std::optional<std::string> settings;
  if (auto appData = platform::appDataFolder()) {
    settings = desktop::appDataSettingsFile(*appData);
  }
  // Whoever started the program from a console sees why the settings were not taken.
  desktop::ViewChoices choices(cl.choice, settings, [](const std::string& warning) {
    std::fprintf(stderr, "vombrel: %s\n", warning.c_str());
  });
  auto host = platform::createWin32Host({}, std::move(choices));
  return vombrel::serve(*host);
}
