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

namespace {

struct Entry {
  const char* name;
  const char* meaning;
};

constexpr Entry kOptions[] = {
    {"--scale N", "the window N times 304 x 213, if it fits"},
    {"--fullscreen", "the game in the middle of a black screen"},
    {"--window", "a window"},
    {"--help", "show this and exit"},
    {"--version", "show the version and exit"},
};
constexpr Entry kKeys[] = {
    {"F11, Alt+Enter", "fullscreen on and off"},
    {"Ctrl+plus, Ctrl+minus", "a bigger or a smaller window"},
    {"Ctrl+0", "the window back at its usual size"},
};

}  // namespace

// In a terminal each option and its meaning side by side, within 80 columns. A message box
// wraps long lines and its font would not keep columns of spaces aligned: there each meaning
// goes indented on the line below its option, and no line is wider than the first.
std::string usage(UsageLayout layout) {
  const bool terminal = layout == UsageLayout::Terminal;
  const char* wrap = terminal ? " " : "\n";
  auto list = [&](const auto& entries) {
    std::string text;
    for (const Entry& e : entries) {
      std::string name = std::string("  ") + e.name;
      text += terminal ? name + std::string(25 - name.size(), ' ') : name + "\n      ";
      text += std::string(e.meaning) + "\n";
    }
    return text;
  };
  return std::string("Usage: vombrel [--scale N] [--fullscreen | --window]\n") +
         "A mouse shooting game: shoot the figure that" + wrap + "rises from behind the fence.\n" +
         "\nOptions, for this run only (they win over" + wrap +
         "the choice remembered by the keys):\n" + list(kOptions) +
         "\nKeys (remembered for the next run):\n" + list(kKeys);
}

std::string tryHelp() {
  return "Try 'vombrel --help' for more information.\n";
}

std::string versionText() {
  return "vombrel " VOMBREL_VERSION "\n";
}

}  // namespace platform::desktop
