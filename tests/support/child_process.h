// Other processes for tests: a program started with its output on pipes, and a body of code run
// in a forked copy of the test. POSIX only.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quorel::testing {

// Everything that can still be read from fd, up to its end.
inline std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(n));
  return text;
}

// The exit status of the child pid, or 128 + signal, once it has ended; with WNOHANG nothing
// while it still runs.
inline std::optional<int> Reap(pid_t pid, int options = 0) {
  int status = 0;
  pid_t got = 0;
  while ((got = waitpid(pid, &status, options)) < 0 && errno == EINTR) {
  }
  if (got == 0) return std::nullopt;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A program (args[0], a path) with its standard output and error on pipes, or both on the one
// of the output. Killed and waited for when still running at the end.
class ChildProcess {
 public:
  explicit ChildProcess(std::vector<std::string> args, bool errorsWithOutput = false) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errorsWithOutput ? out[1] : err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& arg : args)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (rc != 0) {
      pid_ = -1;
      throw std::runtime_error("cannot start " + args[0]);
    }
  }
  ~ChildProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    close(out_);
    close(err_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of standard output, empty at its end.
  std::string ReadLine() {
    std::string line;
    char c = 0;
    while (read(out_, &c, 1) == 1 && c != '\n')
      line.push_back(c);
    return line;
  }
  std::string Output() { return ReadAll(out_); }
  std::string Errors() { return ReadAll(err_); }
  // The exit status, or 128 + signal.
  int Wait() {
    exitStatus_ = *Reap(std::exchange(pid_, -1));
    return exitStatus_;
  }
  void Kill() { kill(pid_, SIGKILL); }
  bool Running() {
    const auto status = Reap(pid_, WNOHANG);
    if (!status) return true;
    exitStatus_ = *status;
    pid_ = -1;
    return false;
  }
  int ExitStatus() const { return exitStatus_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  int exitStatus_ = -1;
};

// Runs body in a child process of this one and returns the text it gave back. The child ends
// with body; gtest's checks do not work in it, so body reports what the parent checks.
inline std::string InChildProcess(const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  const pid_t child = fork();
  if (child < 0) return "fork failed";
  if (child == 0) {
    close(fds[0]);
    const std::string report = body();
    for (std::size_t done = 0; done < report.size();) {
      const ssize_t n = write(fds[1], report.data() + done, report.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  std::string report = ReadAll(fds[0]);
  close(fds[0]);
  Reap(child);
  return report;
}

}  // namespace quorel::testing
