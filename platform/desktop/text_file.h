// The few things the settings file needs from the file system, on plain UTF-8 path strings:
// read a small file whole, and replace a file's text safely. One implementation per system,
// chosen by the build: POSIX calls (text_file_posix.cpp) and Win32's wide calls
// (text_file_win32.cpp), so that no path ever goes through the system's narrow code page and the
// Windows program carries no C++ streams.
//
//   desktop::FileText got = desktop::readTextFile(path, 4096);
//   if (got.outcome == desktop::FileText::Outcome::Read) use(got.text);
//   std::string why = desktop::replaceTextFile(path, text);  // empty when written
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::desktop {

struct FileText {
  enum class Outcome { Read, Missing, TooBig, Failed };
  Outcome outcome = Outcome::Missing;
  std::string text;        // Read: the whole file
  std::uint64_t size = 0;  // TooBig: its size in bytes
  std::string error;       // Failed: the system's reason
};

// Reads the file when it holds at most `limit` bytes.
FileText readTextFile(const std::string& path, std::uint64_t limit);

// Writes `text` to a fresh file beside the file, with the old file's permissions, and renames it
// over it, so that a crash or a full disk leaves the old file whole. A symbolic link stays one,
// even one whose file is not there yet: the new file goes where it points. A read-only file is
// left as it is. Creates the file's folder, private to the player, when needed. Returns why it
// could not, or nothing.
std::string replaceTextFile(const std::string& path, std::string_view text);

}  // namespace platform::desktop
