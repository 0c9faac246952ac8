// The small settings file in which the desktop program remembers the player's choice of scale
// and fullscreen from one run to the next. A text file of "name=value" lines:
//
//   # Vombrel remembers the window's size and fullscreen here.
//   scale=3
//   fullscreen=0
//
// A line left out means the default: no "scale" is the window's usual size for the screen.
// Reading never fails: a missing file is the defaults, an unreadable one the defaults with a
// warning, and a line the game does not understand costs one warning naming the line and
// nothing else. Every line the player wrote stays through a save: comments, sections, other
// names, a bad value until a key sets that setting. Writing goes to a fresh file renamed over
// the old one, so a crash or a full disk leaves the old file whole. Paths are UTF-8 strings on
// every system (text_file.h).
//
//   auto file = desktop::xdgSettingsFile(getenv("XDG_CONFIG_HOME"), getenv("HOME"));
//   desktop::Loaded got = desktop::loadSettings(*file);     // got.warnings: for stderr
//   std::string error = desktop::saveSettings(*file, got.settings);   // empty when saved
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::desktop {

struct Settings {
  std::optional<int> scale;        // the window's whole factor; none: the default for the screen
  std::optional<bool> fullscreen;  // none: a window
  friend bool operator==(const Settings&, const Settings&) = default;
};

struct Loaded {
  Settings settings;
  std::vector<std::string> warnings;  // none when the file was fine or is not there yet
};

// The file's text after a change: the player's own lines (comments, sections, another game's or
// a newer game's settings, lines the game does not understand) as they stand; a setting whose
// value changed rewritten where it is, added at the end, or gone when back at the default; the
// byte order mark and CRLF lines of a file written in Notepad kept. A new file (`old` empty)
// starts with a comment saying what it is.
std::string formatSettings(std::string_view old, const Settings& settings);
// Names it does not know are skipped, so that an older game reads a newer game's file; lines
// starting with "#" or ";" are comments and "[...]" a section's heading. A bad value is that
// setting's default, and a line without "=" is skipped, each with a warning "line N: ...".
Loaded parseSettings(std::string_view text);

// The warnings name the file and the line: "FILE:3: ...".
Loaded loadSettings(const std::string& file);
// Changes the file as formatSettings says; a file that exists but cannot be read, or is
// read-only, is left as it is. A symbolic link stays one. Creates the folder when needed.
// Returns the reason it could not, or nothing.
std::string saveSettings(const std::string& file, const Settings& settings);

// Where Linux keeps it: $XDG_CONFIG_HOME/vombrel/settings.ini, or ~/.config/vombrel/settings.ini
// when XDG_CONFIG_HOME is unset, empty or relative (as the XDG base directory rules say).
// Nothing when neither says where: the game then remembers nothing.
std::optional<std::string> xdgSettingsFile(const char* xdgConfigHome, const char* home);
// Where Windows keeps it: %APPDATA%\Vombrel\settings.ini.
std::string appDataSettingsFile(const std::string& appData);

}  // namespace platform::desktop
