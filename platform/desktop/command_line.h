// The desktop program's command line, the same for the Linux program and the .exe:
//
//   vombrel [--scale N] [--fullscreen | --window] [--help] [--version]
//
// Parsing never prints and never exits; the entry point acts on the result:
//
//   desktop::CommandLine cl = desktop::parseCommandLine({argv + 1, argv + argc});
//   switch (cl.action) {
//     case desktop::CommandLine::Action::Help:    print(desktop::usage(layout)); return 0;
//     case desktop::CommandLine::Action::Version: print(desktop::versionText()); return 0;
//     case desktop::CommandLine::Action::Wrong:   complain(cl.error, desktop::tryHelp());
//                                                 return 2;
//     case desktop::CommandLine::Action::Play:    break;  // cl.choice overrides the settings
//   }
#pragma once

#include <optional>
#include <span>
#include <string>

namespace platform::desktop {

// What the player asked for on the command line, for this run only: it wins over the settings
// file and is never saved.
struct Overrides {
  std::optional<int> scale;        // --scale N
  std::optional<bool> fullscreen;  // --fullscreen, --window
};

struct CommandLine {
  enum class Action { Play, Help, Version, Wrong };
  Action action = Action::Play;
  Overrides choice;
  std::string error;  // what was wrong, for Wrong: one line, without the usage
};

// The arguments after the program's name. The last of --fullscreen and --window counts; --help
// and --version win over everything else but a wrong argument.
CommandLine parseCommandLine(std::span<const char* const> args);

// The usage: options and the keys the window understands, several lines ending in a newline,
// laid out for a terminal or for a message box.
enum class UsageLayout { Terminal, MessageBox };
std::string usage(UsageLayout layout);
// What a terminal says under a wrong option, as command-line programs do.
std::string tryHelp();
// "vombrel 1.1.0" and a newline.
std::string versionText();

}  // namespace platform::desktop
