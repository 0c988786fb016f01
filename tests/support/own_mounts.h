// Mounts of a process's own, for tests that mount something (a tiny file system, a file over a
// system file) without touching the machine: a child process enters a mount namespace of its
// own, inside a user namespace of its own when it is not root. Linux only.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

namespace quorel::testing {

// Makes this process root of a user namespace of its own, with the rights to set up the others.
inline bool BecomeRootOfAUserNamespace() {
  const std::string uid = std::to_string(geteuid()), gid = std::to_string(getegid());
  if (unshare(CLONE_NEWUSER) != 0) return false;
  std::ofstream("/proc/self/setgroups") << "deny";
  std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
  std::ofstream gidMap("/proc/self/gid_map");
  return static_cast<bool>(gidMap << "0 " << gid << " 1" << std::flush);
}

// Enters a mount namespace whose mounts no other process sees, and the namespaces of
// moreFlags (CLONE_NEWNET, ...). An empty text when that worked, else what failed.
inline std::string EnterOwnMountNamespace(int moreFlags = 0) {
  if (geteuid() != 0 && !BecomeRootOfAUserNamespace())
    return std::string("user namespace: ") + std::strerror(errno);
  if (unshare(CLONE_NEWNS | moreFlags) != 0) return std::string("unshare: ") + std::strerror(errno);
  if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return std::string("private mounts: ") + std::strerror(errno);
  return {};
}

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
  std::string report;
  char buffer[512];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
    report.append(buffer, static_cast<std::size_t>(n));
  close(fds[0]);
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return report;
}

}  // namespace quorel::testing
