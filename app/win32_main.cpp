// Vombrel for Windows: a GUI program. Started from a console it says what it has to say there,
// as a console program would; started from Explorer it has no console, and shows a message box.
// It takes the options of the desktop program (platform/desktop/command_line.h): --help and
// --version show their text and exit with 0; a wrong option says what was wrong and exits with
// 2 before any window opens. It remembers the window's size and fullscreen in
// %APPDATA%\Vombrel\settings.ini, and warns about a bad line there only on a console. It exits
// with 0 when the player leaves, or with 1 after a message box that says why the window could
// not open. mingw-w64 starts a GUI program at main() as it does a console one, so nothing of
// windows.h is needed here.
#include <cstdio>
#include <optional>

#include "app/game_loop.h"
#include "platform/desktop/command_line.h"
#include "platform/win32/win32_host.h"

namespace desktop = platform::desktop;

int main(int argc, char** argv) {
  const bool console = platform::attachToConsole();
  desktop::CommandLine cl = desktop::parseCommandLine({argv + 1, argv + argc});
  switch (cl.action) {
    case desktop::CommandLine::Action::Help:
      if (console) {
        std::fputs(desktop::usage(desktop::UsageLayout::Terminal).c_str(), stdout);
      } else {
        platform::showProgramMessage(desktop::usage(desktop::UsageLayout::MessageBox), false);
      }
      return 0;
    case desktop::CommandLine::Action::Version:
      if (console) {
        std::fputs(desktop::versionText().c_str(), stdout);
      } else {
        platform::showProgramMessage(desktop::versionText(), false);
      }
      return 0;
    case desktop::CommandLine::Action::Wrong:
      if (console) {
        std::fprintf(stderr, "vombrel: %s\n%s", cl.error.c_str(), desktop::tryHelp().c_str());
      } else {
        platform::showProgramMessage(
            cl.error + "\n\n" + desktop::usage(desktop::UsageLayout::MessageBox), true);
      }
      return 2;
    case desktop::CommandLine::Action::Play:
      break;
  }
  std::optional<std::string> settings;
  if (auto appData = platform::appDataFolder()) {
    settings = desktop::appDataSettingsFile(*appData);
  }
  desktop::ViewChoices choices(cl.choice, settings, [console](const std::string& warning) {
    if (console) {
      std::fprintf(stderr, "vombrel: %s\n", warning.c_str());
    }
  });
  auto host = platform::createWin32Host({}, std::move(choices));
  return vombrel::serve(*host);
}
