// Reading and replacing a small text file with POSIX calls; see text_file.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/desktop/text_file.h"

namespace platform::desktop {

namespace {

std::string reason(int error) {
  return std::strerror(error);
}

std::string folderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The folder and any missing folders above it, private to the player as the XDG base directory
// rules ask.
bool makeFolders(const std::string& folder) {
  if (mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) {
    return true;
  }
  std::string parent = folderOf(folder);
  if (errno != ENOENT || parent == folder || !makeFolders(parent)) {
    return false;
  }
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// The mode a new file gets from the player's umask.
mode_t newFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// The file a chain of symbolic links ends at, which need not exist yet; the path itself when it
// is no link. Players keep their settings in a dotfiles folder and link them in.
std::string throughLinks(std::string path) {
  constexpr int kMostLinks = 40;  // Linux's own limit, against a link that points at itself
  for (int i = 0; i < kMostLinks; ++i) {
    struct stat st {};
    char target[4096];
    ssize_t n = 0;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) ||
        (n = readlink(path.c_str(), target, sizeof target)) <= 0 ||
        n == static_cast<ssize_t>(sizeof target)) {
      return path;
    }
    std::string to(target, static_cast<std::size_t>(n));
    path = to.front() == '/' ? to : folderOf(path) + "/" + to;
  }
  return path;
}

// Fills the text from the file; a file that has shrunk since its size was taken leaves the
// text cut to what there was.
bool readAll(int fd, std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      text.resize(done);
      return n == 0;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

FileText readTextFile(const std::string& path, std::uint64_t limit) {
  FileText got;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    got.outcome = errno == ENOENT ? FileText::Outcome::Missing : FileText::Outcome::Failed;
    got.error = reason(errno);
    return got;
  }
  struct stat st {};
  got.outcome = FileText::Outcome::Failed;
  if (fstat(fd, &st) != 0) {
    got.error = reason(errno);
  } else if (S_ISDIR(st.st_mode)) {
    got.error = "it is a folder";
  } else if (static_cast<std::uint64_t>(st.st_size) > limit) {
    got.outcome = FileText::Outcome::TooBig;
    got.size = static_cast<std::uint64_t>(st.st_size);
  } else {
    got.text.resize(static_cast<std::size_t>(st.st_size));
    if (readAll(fd, got.text)) {
      got.outcome = FileText::Outcome::Read;
    } else {
      got.error = reason(errno);
    }
  }
  close(fd);
  return got;
}

std::string replaceTextFile(const std::string& path, std::string_view text) {
  std::string file = throughLinks(path);
  std::string folder = folderOf(file);
  if (!makeFolders(folder)) {
    return "cannot make the folder " + folder + ": " + reason(errno);
  }
  struct stat old {};
  const bool exists = stat(file.c_str(), &old) == 0;
  if (exists && (old.st_mode & S_IWUSR) == 0) {
    return file + " is read-only, so it stays as it is";
  }
  // What an older game left behind when it could not finish a save.
  unlink((file + ".new").c_str());
  // A fresh name of its own beside the file, so that two games saving at once never write into
  // one file; it keeps the old file's permissions, so a player who made it private keeps it so.
  std::string fresh = file + ".XXXXXX";
  int fd = mkostemp(fresh.data(), O_CLOEXEC);
  if (fd < 0) {
    return "cannot write beside " + file + ": " + reason(errno);
  }
  bool written = fchmod(fd, exists ? old.st_mode & 07777 : newFileMode()) == 0 &&
                 writeAll(fd, text) && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written || rename(fresh.c_str(), file.c_str()) != 0) {
    error = written ? errno : error;
    unlink(fresh.c_str());
    return "cannot replace " + file + ": " + reason(error);
  }
  // The rename itself reaches the disk only with its folder.
  if (int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return {};
}

}  // namespace platform::desktop
