// The tests that need a user without rights, which root is not (and CI runs as root): run as
// root, they run as the user nobody through setpriv instead. POSIX only.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"

namespace quorel::testing {

// The user and group nobody.
inline constexpr uid_t kUnprivilegedId = 65534;
inline constexpr char kSetpriv[] = "/usr/bin/setpriv";

inline bool RunsAsRoot() {
  return geteuid() == 0;
}

// The command line that runs command as nobody when this process is root, else command itself.
inline std::vector<std::string> AsUnprivilegedUser(std::vector<std::string> command) {
  if (!RunsAsRoot()) return command;
  const std::string id = std::to_string(kUnprivilegedId);
  command.insert(command.begin(), {kSetpriv, "--reuid=" + id, "--regid=" + id, "--clear-groups"});
  return command;
}

// Runs the current test once more in a process of this program as nobody, and fails it with
// that run's output unless the test passed there. Call as the first thing a test does when
// RunsAsRoot(); the program file must be readable by every user (the files the test makes
// are made by that run, in a folder of its own).
inline void RerunAsUnprivilegedUser() {
  std::error_code error;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
  ASSERT_FALSE(error) << "cannot name this program: " << error.message();
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  ChildProcess run(AsUnprivilegedUser({program.string(),
                                       std::string("--gtest_filter=") + test->test_suite_name() +
                                           "." + test->name(),
                                       "--gtest_color=no"}),
                   /*errorsWithOutput=*/true);
  const std::string output = run.Output();
  const int status = run.Wait();
  // A filter that matched nothing, or a skip, also ends with status 0.
  const bool passed = status == 0 && output.find("[  PASSED  ] 1 test.") != std::string::npos;
  EXPECT_TRUE(passed) << "run as the user nobody:\n" << output;
}

}  // namespace quorel::testing
