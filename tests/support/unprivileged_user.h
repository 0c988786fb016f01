// The tests that need a user without rights, which root is not (and CI runs as root): run as
// root, they run as the user nobody through setpriv instead. POSIX only.
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

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
  auto command = AsUnprivilegedUser(
      {program.string(),
       std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name(),
       "--gtest_color=no"});

  std::array<int, 2> out{};
  ASSERT_EQ(pipe(out.data()), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (auto& arg : command)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string output;
  std::array<char, 4096> buffer{};
  for (ssize_t n; (n = read(out[0], buffer.data(), buffer.size())) > 0;)
    output.append(buffer.data(), static_cast<std::size_t>(n));
  close(out[0]);
  ASSERT_EQ(spawned, 0) << "cannot start " << argv[0] << " (util-linux)";
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  // A filter that matched nothing, or a skip, also ends with status 0.
  const bool passed = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                      output.find("[  PASSED  ] 1 test.") != std::string::npos;
  EXPECT_TRUE(passed) << "run as the user nobody:\n" << output;
}

}  // namespace quorel::testing
