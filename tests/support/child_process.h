// A program started as a child process, for the tests and benchmarks that run real programs:
// started with a changed environment, its output sent to a file, watched for its exit, and
// always ended and reaped when the object goes away, so that no test leaves a game running.
//
//   support::ChildOptions options;
//   options.env = {{"SDL_AUDIODRIVER", "disk"}, {"DISPLAY", std::nullopt}};
//   support::ChildProcess game(path, options);
//   if (!game.started()) fail(game.error());
//   std::optional<int> status = game.waitExit(std::chrono::seconds(5));  // nullopt: still runs
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace support {

// One change to the environment the child inherits: a value to set, or nullopt to remove it.
struct EnvChange {
  std::string name;
  std::optional<std::string> value;
};

struct ChildOptions {
  std::vector<std::string> args;  // arguments after the program's name
  std::vector<EnvChange> env;
  std::string outputFile;  // receives the child's stdout and stderr; empty: inherit ours
};

class ChildProcess {
 public:
  ChildProcess(const std::string& path, const ChildOptions& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  const std::string& error() const { return error_; }  // why it did not start
  pid_t pid() const { return pid_; }

  // Waits up to the timeout for the child to end. Returns its exit status (128 + the signal
  // number when a signal ended it), or nullopt while it still runs.
  std::optional<int> waitExit(std::chrono::milliseconds timeout);

  // Asks the child to end (SIGTERM), then forces it (SIGKILL) if it has not ended within the
  // grace period, and reaps it. Does nothing when it has already ended.
  void stop(std::chrono::milliseconds grace = std::chrono::seconds(2));

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::string error_;
};

// Reads a whole file into a string; empty when it does not exist.
std::string readFile(const std::string& path);

// A fresh empty file under /tmp whose name starts with the prefix; removed by the destructor.
class TempFile {
 public:
  explicit TempFile(const std::string& prefix);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace support
