// Parsing the command line and the texts it prints; see command_line.h.
#include "platform/desktop/command_line.h"

#include <charconv>
#include <string_view>

namespace platform::desktop {

namespace {

// A factor beyond any screen is still a whole number; the host cuts it down to what fits.
constexpr int kLargestScale = 100;

std::optional<int> wholeFactor(std::string_view text) {
  int n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc{} || end != text.data() + text.size() || n < 1 || n > kLargestScale) {
    return std::nullopt;
  }
  return n;
}

}  // namespace

CommandLine parseCommandLine(std::span<const char* const> args) {
  CommandLine cl;
  auto wrong = [&](std::string error) {
    cl.action = CommandLine::Action::Wrong;
    cl.error = std::move(error);
    return cl;
  };
  bool help = false, version = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i] != nullptr ? args[i] : "";
    if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else if (arg == "--fullscreen") {
      cl.choice.fullscreen = true;
    } else if (arg == "--window") {
      cl.choice.fullscreen = false;
    } else if (arg == "--scale" || arg.starts_with("--scale=")) {
      std::string_view value;
      if (arg != "--scale") {
        value = arg.substr(std::string_view("--scale=").size());
      } else if (i + 1 < args.size() && args[i + 1] != nullptr) {
        value = args[++i];
      } else {
        return wrong("--scale needs a number: the window's size as a multiple of 304 x 213");
      }
      auto n = wholeFactor(value);
      if (!n) {
        return wrong("--scale needs a whole number from 1 to " + std::to_string(kLargestScale) +
                     ", not \"" + std::string(value) + "\"");
      }
      cl.choice.scale = n;
    } else {
      return wrong("unknown option \"" + std::string(arg) + "\"");
    }
  }
  if (help) {
    cl.action = CommandLine::Action::Help;
  } else if (version) {
    cl.action = CommandLine::Action::Version;
  }
  return cl;
}

// Each option and key on a line of its own, its meaning indented on the next, and every line
// short: the .exe shows this in a message box, which wraps long lines and whose font would not
// keep columns of spaces aligned.
std::string usage() {
  return "Usage: vombrel [--scale N] [--fullscreen | --window]\n"
         "A mouse shooting game: shoot the figure that\n"
         "rises from behind the fence.\n"
         "\n"
         "Options, for this run only (they win over\n"
         "the choice remembered by the keys):\n"
         "  --scale N\n"
         "      the window at N times 304 x 213,\n"
         "      as far as the screen allows\n"
         "  --fullscreen\n"
         "      the game in the middle of a black screen\n"
         "  --window\n"
         "      a window\n"
         "  --help\n"
         "      show this and exit\n"
         "  --version\n"
         "      show the version and exit\n"
         "\n"
         "Keys (remembered for the next run):\n"
         "  F11, Alt+Enter\n"
         "      fullscreen on and off\n"
         "  Ctrl+plus, Ctrl+minus\n"
         "      a bigger or a smaller window\n"
         "  Ctrl+0\n"
         "      the window back at its usual size\n";
}

std::string versionText() {
  return "vombrel " VOMBREL_VERSION "\n";
}

}  // namespace platform::desktop
