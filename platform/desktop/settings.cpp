// Reading and writing the settings file; see settings.h.
#include "platform/desktop/settings.h"

#include <charconv>

#include "platform/desktop/text_file.h"

namespace platform::desktop {

namespace {

// No setting needs more; a bigger file is not ours.
constexpr std::uint64_t kLargestFile = 4096;
constexpr int kLargestScale = 100;

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

}  // namespace

std::string formatSettings(const Settings& settings) {
  std::string text = "# Vombrel remembers the window's size and fullscreen here.\n";
  if (settings.scale) {
    text += "scale=" + std::to_string(*settings.scale) + "\n";
  }
  if (settings.fullscreen) {
    text += std::string("fullscreen=") + (*settings.fullscreen ? "1" : "0") + "\n";
  }
  return text;
}

Loaded parseSettings(std::string_view text) {
  Loaded got;
  auto malformed = [](int line, std::string_view what) {
    return Loaded{{}, "line " + std::to_string(line) + ": " + std::string(what)};
  };
  int number = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.empty() || line.front() == '#') {
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      return malformed(number, "not name=value");
    }
    std::string_view name = trimmed(line.substr(0, eq)), value = trimmed(line.substr(eq + 1));
    int n = 0;
    auto [at, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    bool whole = ec == std::errc{} && at == value.data() + value.size();
    if (name == "scale") {
      if (!whole || n < 1 || n > kLargestScale) {
        return malformed(number, "scale must be a whole number from 1 to 100");
      }
      got.settings.scale = n;
    } else if (name == "fullscreen") {
      if (!whole || (n != 0 && n != 1)) {
        return malformed(number, "fullscreen must be 0 or 1");
      }
      got.settings.fullscreen = n == 1;
    }
  }
  return got;
}

Loaded loadSettings(const std::string& file) {
  FileText got = readTextFile(file, kLargestFile);
  auto warn = [&](const std::string& why) {
    return Loaded{{}, "ignoring the settings file " + file + ": " + why};
  };
  switch (got.outcome) {
    case FileText::Outcome::Missing:
      return {};
    case FileText::Outcome::TooBig:
      return warn("it is " + std::to_string(got.size) + " bytes, far too big for settings");
    case FileText::Outcome::Failed:
      return warn(got.error);
    case FileText::Outcome::Read:
      break;
  }
  Loaded parsed = parseSettings(got.text);
  return parsed.warning.empty() ? parsed : warn(parsed.warning);
}

std::string saveSettings(const std::string& file, const Settings& settings) {
  return replaceTextFile(file, formatSettings(settings));
}

std::optional<std::string> xdgSettingsFile(const char* xdgConfigHome, const char* home) {
  std::string base;
  // Absolute as POSIX counts it, so that the rule reads the same wherever it is tested.
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    base = xdgConfigHome;
  } else if (home != nullptr && *home != '\0') {
    base = std::string(home) + "/.config";
  } else {
    return std::nullopt;
  }
  return base + "/vombrel/settings.ini";
}

std::string appDataSettingsFile(const std::string& appData) {
  return appData + "\\Vombrel\\settings.ini";
}

}  // namespace platform::desktop
