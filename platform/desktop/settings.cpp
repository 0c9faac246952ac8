// Reading and writing the settings file; see settings.h.
#include "platform/desktop/settings.h"

#include <charconv>

#include "platform/desktop/text_file.h"

namespace platform::desktop {

namespace {

// No setting needs more; a bigger file is not ours.
constexpr std::uint64_t kLargestFile = 4096;
constexpr int kLargestScale = 100;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";  // Notepad puts it before line 1

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// Takes the next line off the text, without its "\n" (a "\r" stays on it).
std::string_view takeLine(std::string_view& text) {
  std::size_t end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  return line;
}

// Not a comment, a blank line or a section's heading ("[vombrel]", natural at the top of an
// .ini file), which are the player's and carry nothing for the game.
bool isSetting(std::string_view line) {
  line = trimmed(line);
  return !line.empty() && line.front() != '#' && line.front() != ';' &&
         !(line.front() == '[' && line.back() == ']');
}

std::string_view nameOf(std::string_view line) {
  return trimmed(line.substr(0, line.find('=')));
}

std::string settingLine(std::string_view name, const Settings& settings) {
  if (name == "scale") {
    return "scale=" + std::to_string(*settings.scale);
  }
  return std::string("fullscreen=") + (*settings.fullscreen ? "1" : "0");
}

}  // namespace

std::string formatSettings(std::string_view old, const Settings& settings) {
  // A setting the file already says as it is now keeps its lines as the player wrote them, a bad
  // value too: only a key the player pressed rewrites it.
  const Settings before = parseSettings(old).settings;
  bool marked = old.starts_with(kByteOrderMark);
  if (marked) {
    old.remove_prefix(kByteOrderMark.size());
  }
  std::string_view newline = old.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  std::string text(marked ? kByteOrderMark : "");
  if (old.empty()) {
    text += "# Vombrel remembers the window's size and fullscreen here.";
    text += newline;
  }
  // Ours to rewrite, then still to write; a setting at its default has no line.
  const bool rewriteScale = settings.scale != before.scale;
  const bool rewriteFullscreen = settings.fullscreen != before.fullscreen;
  bool scale = rewriteScale && settings.scale,
       fullscreen = rewriteFullscreen && settings.fullscreen;
  while (!old.empty()) {
    std::string_view line = takeLine(old);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);  // it gets the file's own line ending again
    }
    std::string_view name = isSetting(line) ? nameOf(line) : "";
    bool* pending = name == "scale" && rewriteScale             ? &scale
                    : name == "fullscreen" && rewriteFullscreen ? &fullscreen
                                                                : nullptr;
    if (pending == nullptr) {
      text += line;  // the player's own, as it stands
    } else if (*pending) {
      text += settingLine(name, settings);
      *pending = false;
    } else {
      continue;  // at its default now, or a second line for the same setting
    }
    text += newline;
  }
  for (auto [name, missing] : {std::pair{"scale", scale}, {"fullscreen", fullscreen}}) {
    if (missing) {
      text += settingLine(name, settings);
      text += newline;
    }
  }
  return text;
}

Loaded parseSettings(std::string_view text) {
  Loaded got;
  int number = 0;
  auto warn = [&](std::string what) {
    got.warnings.push_back("line " + std::to_string(number) + ": " + std::move(what));
  };
  if (text.starts_with(kByteOrderMark)) {
    text.remove_prefix(kByteOrderMark.size());
  }
  while (!text.empty()) {
    std::string_view line = takeLine(text);
    ++number;
    if (!isSetting(line)) {
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      warn("skipping \"" + std::string(trimmed(line)) + "\", which is not name=value");
      continue;
    }
    std::string_view name = nameOf(line), value = trimmed(line.substr(eq + 1));
    int n = 0;
    auto [at, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    bool whole = ec == std::errc{} && at == value.data() + value.size();
    if (name == "scale") {
      if (whole && n >= 1 && n <= kLargestScale) {
        got.settings.scale = n;
      } else {
        warn("scale must be a whole number from 1 to 100: the usual size it is");
      }
    } else if (name == "fullscreen") {
      if (whole && (n == 0 || n == 1)) {
        got.settings.fullscreen = n == 1;
      } else {
        warn("fullscreen must be 0 or 1: a window it is");
      }
    }
  }
  return got;
}

Loaded loadSettings(const std::string& file) {
  FileText got = readTextFile(file, kLargestFile);
  auto ignored = [&](const std::string& why) {
    return Loaded{{}, {file + ": ignoring it: " + why}};
  };
  switch (got.outcome) {
    case FileText::Outcome::Missing:
      return {};
    case FileText::Outcome::TooBig:
      return ignored("it is " + std::to_string(got.size) + " bytes, far too big for settings");
    case FileText::Outcome::Failed:
      return ignored(got.error);
    case FileText::Outcome::Read:
      break;
  }
  // As compilers say where a file is wrong: the file, the line, what is wrong with it.
  Loaded parsed = parseSettings(got.text);
  for (std::string& warning : parsed.warnings) {
    warning = file + ":" + warning.substr(std::string_view("line ").size());
  }
  return parsed;
}

std::string saveSettings(const std::string& file, const Settings& settings) {
  // Read again, so that what the player wrote into it while the game ran stays too. A file that
  // cannot be read is left as it is rather than lose what it holds.
  FileText old = readTextFile(file, kLargestFile);
  switch (old.outcome) {
    case FileText::Outcome::TooBig:
      return file + " is too big to be the settings file; it is left as it is";
    case FileText::Outcome::Failed:
      return "cannot read " + file + ": " + old.error;
    case FileText::Outcome::Missing:
    case FileText::Outcome::Read:
      break;
  }
  return replaceTextFile(file, formatSettings(old.text, settings));
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
