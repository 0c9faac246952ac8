// Vombrel: a mouse shooting game. The program opens its window on the real display and exits
// with 0 when the player leaves, 1 when it cannot open a window (saying why), and 2 when the
// command line is wrong (saying what in one line, and where to read more). It reads and writes
// one file, the small settings file where it remembers the window's size and fullscreen (see
// vombrel(6)).
#include <cstdio>
#include <cstdlib>

#include "app/game_loop.h"
#include "platform/desktop/command_line.h"
#include "platform/sdl/sdl_host.h"

namespace desktop = platform::desktop;

int main(int argc, char** argv) {
  desktop::CommandLine cl = desktop::parseCommandLine({argv + 1, argv + argc});
  switch (cl.action) {
    case desktop::CommandLine::Action::Help:
      std::fputs(desktop::usage(desktop::UsageLayout::Terminal).c_str(), stdout);
      return 0;
    case desktop::CommandLine::Action::Version:
      std::fputs(desktop::versionText().c_str(), stdout);
      return 0;
    case desktop::CommandLine::Action::Wrong:
      std::fprintf(stderr, "vombrel: %s\n%s", cl.error.c_str(), desktop::tryHelp().c_str());
      return 2;
    case desktop::CommandLine::Action::Play:
      break;
  }
  auto settings = desktop::xdgSettingsFile(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  desktop::ViewChoices choices(cl.choice, settings, [](const std::string& warning) {
    std::fprintf(stderr, "vombrel: %s\n", warning.c_str());
  });
  auto host = platform::createSdlHost(std::move(choices));
  return vombrel::run(*host);
}
