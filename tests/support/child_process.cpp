// Starting, watching and ending child processes; see child_process.h.
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace support {

namespace {

// Our environment with the changes applied, as "NAME=value" strings.
std::vector<std::string> childEnvironment(const std::vector<EnvChange>& changes) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    bool changed = false;
    for (const EnvChange& c : changes) {
      changed = changed || c.name == name;
    }
    if (!changed) {
      env.push_back(std::move(entry));
    }
  }
  for (const EnvChange& c : changes) {
    if (c.value) {
      env.push_back(c.name + "=" + *c.value);
    }
  }
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> p;
  for (std::string& s : strings) {
    p.push_back(s.data());
  }
  p.push_back(nullptr);
  return p;
}

int decodeStatus(int raw) {
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& path, const ChildOptions& options) {
  std::vector<std::string> argv{path};
  argv.insert(argv.end(), options.args.begin(), options.args.end());
  std::vector<std::string> envp = childEnvironment(options.env);
  std::vector<char*> argp = pointers(argv);
  std::vector<char*> envpp = pointers(envp);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!options.outputFile.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  }
  pid_t pid = -1;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argp.data(), envpp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    error_ = "cannot start " + path + ": " + std::strerror(rc);
    return;
  }
  pid_ = pid;
}

ChildProcess::~ChildProcess() {
  stop();
}

std::optional<int> ChildProcess::waitExit(std::chrono::milliseconds timeout) {
  if (status_ || pid_ <= 0) {
    return status_;
  }
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int raw = 0;
    pid_t r = waitpid(pid_, &raw, WNOHANG);
    if (r == pid_) {
      status_ = decodeStatus(raw);
      return status_;
    }
    if (r < 0 && errno != EINTR) {
      return std::nullopt;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void ChildProcess::stop(std::chrono::milliseconds grace) {
  if (pid_ <= 0 || status_) {
    return;
  }
  kill(pid_, SIGTERM);
  if (waitExit(grace)) {
    return;
  }
  kill(pid_, SIGKILL);
  int raw = 0;
  while (waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
  }
  status_ = decodeStatus(raw);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TempFile::TempFile(const std::string& prefix) {
  std::string pattern = "/tmp/" + prefix + "-XXXXXX";
  int fd = mkstemp(pattern.data());
  if (fd >= 0) {
    close(fd);
    path_ = pattern;
  }
}

TempFile::~TempFile() {
  if (!path_.empty()) {
    unlink(path_.c_str());
  }
}

}  // namespace support
