// The small settings file in which the desktop program remembers the player's choice of scale
// and fullscreen from one run to the next. A text file of "name=value" lines:
//
//   # Vombrel remembers the window's size and fullscreen here.
//   scale=3
//   fullscreen=0
//
// A line left out means the default: no "scale" is the window's usual size for the screen.
// Reading never fails: a missing file is the defaults, and an unreadable or malformed one is the
// defaults with a warning saying what is wrong with which file. Writing goes to a new file
// renamed over the old one, so a crash or a full disk leaves the old file whole. Paths are UTF-8
// strings on every system (text_file.h).
//
//   auto file = desktop::xdgSettingsFile(getenv("XDG_CONFIG_HOME"), getenv("HOME"));
//   desktop::Loaded got = desktop::loadSettings(*file);     // got.warning: for stderr
//   std::string error = desktop::saveSettings(*file, got.settings);   // empty when saved
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::desktop {

struct Settings {
  std::optional<int> scale;        // the window's whole factor; none: the default for the screen
  std::optional<bool> fullscreen;  // none: a window
  friend bool operator==(const Settings&, const Settings&) = default;
};

struct Loaded {
  Settings settings;
  std::string warning;  // empty when the file was fine or is not there yet
};

// The file's text after a change: the player's own lines (comments, another game's or a newer
// game's settings) as they stand, ours changed where they are, added at the end, or gone when
// back at the default; the byte order mark and CRLF lines of a file written in Notepad are
// kept. A new file (`old` empty) starts with a comment saying what it is.
std::string formatSettings(std::string_view old, const Settings& settings);
// Names it does not know are skipped, so that an older game reads a newer game's file; lines
// starting with "#" or ";" are comments; a bad value or a line that is no setting makes the
// whole file the defaults.
Loaded parseSettings(std::string_view text);

Loaded loadSettings(const std::string& file);
// Changes the file as formatSettings says, or writes a new one over a file it could not read.
// A symbolic link stays one. Creates the folder when needed. Returns the reason it could not,
// or nothing.
std::string saveSettings(const std::string& file, const Settings& settings);

// Where Linux keeps it: $XDG_CONFIG_HOME/vombrel/settings.ini, or ~/.config/vombrel/settings.ini
// when XDG_CONFIG_HOME is unset, empty or relative (as the XDG base directory rules say).
// Nothing when neither says where: the game then remembers nothing.
std::optional<std::string> xdgSettingsFile(const char* xdgConfigHome, const char* home);
// Where Windows keeps it: %APPDATA%\Vombrel\settings.ini.
std::string appDataSettingsFile(const std::string& appData);

}  // namespace platform::desktop
