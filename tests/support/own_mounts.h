// Mounts of a process's own, for tests that mount something (a tiny file system, a file over a
// system file) without touching the machine: a child process (InChildProcess) enters a mount
// namespace of its own, inside a user namespace of its own when it is not root. Linux only.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "child_process.h"

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

}  // namespace quorel::testing
