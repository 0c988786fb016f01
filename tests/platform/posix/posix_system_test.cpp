#include "platform/posix/posix_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/posix/command_line.h"
#include "platform/posix/local_clock.h"
#include "platform/posix/standard_error.h"
#include "platform/text.h"
#include "support/child_process.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace quorel::posix {
namespace {

TEST(JoinArgumentsTest, JoinsEverythingAfterTheProgramName) {
  const struct {
    std::vector<std::string> args;
    std::u16string joined;
  } cases[] = {
      {{"quorel"}, u""},
      {{"quorel", "1", "", "ABC"}, u"1  ABC"},
      {{"quorel", ""}, u""},
      {{"quorel", "", ""}, u" "},
      {{"quorel", "a b", "c"}, u"a b c"},
      {{"quorel",
        "Gr\xC3\xB6\xC3\x9F"
        "e"},
       u"Größe"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> storage = c.args;
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (auto& a : storage)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(JoinArguments(static_cast<int>(storage.size()), argv.data()), c.joined)
        << text::ToUtf8(c.joined);
  }
}

// Whether a child of this process has ended without being reaped.
bool HasZombieChild() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    if (!std::getline(in, stat)) continue;
    const auto afterName = stat.rfind(')');  // the name may itself contain blanks and parentheses
    if (afterName == std::string::npos) continue;
    std::istringstream fields(stat.substr(afterName + 1));
    char state = 0;
    pid_t parent = 0;
    if (fields >> state >> parent && state == 'Z' && parent == getpid()) return true;
  }
  return false;
}

class PosixSystemTest : public ::testing::Test {
 protected:
  // The directory in the backslash notation the program writes.
  std::u16string BackslashDir() {
    auto s = text::FromUtf8(dir_.string());
    std::ranges::replace(s, u'/', u'\\');
    return s;
  }

  quorel::testing::TempDir temp_{"posix_system"};
  std::filesystem::path dir_ = temp_.path();
  PosixSystem system_{u"a b", "/nonexistent/registry"};
};

TEST_F(PosixSystemTest, ReportsCommandLineTitleAndVersion) {
  EXPECT_EQ(system_.CommandLine(), u"a b");
  EXPECT_EQ(system_.AppTitle(), u"Quorel");
  const auto v = system_.AppVersion();
  EXPECT_EQ((std::vector{v.major, v.minor, v.revision}), (std::vector{1, 0, 0}));
}

TEST_F(PosixSystemTest, FileExistsOnlyForVisibleRegularFiles) {
  std::ofstream(dir_ / "MSINFO32.EXE") << "x";
  std::ofstream(dir_ / ".hidden") << "x";
  std::filesystem::create_directory(dir_ / "folder");
  const auto dir = text::FromUtf8(dir_.string());
  const struct {
    std::u16string path;
    bool exists;
  } cases[] = {
      {dir + u"/MSINFO32.EXE", true},   {BackslashDir() + u"\\MSINFO32.EXE", true},
      {dir + u"\\MSINFO32.EXE", true},  {dir + u"/.hidden", false},
      {dir + u"/folder", false},        {dir + u"/missing", false},
      {dir + u"/MSINFO32.EXE/", false}, {u"", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(system_.FileExists(c.path), c.exists) << text::ToUtf8(c.path);
}

TEST_F(PosixSystemTest, StartsProgramsAndSaysInGermanWhyNot) {
  EXPECT_NO_THROW(system_.StartProcess(u"\\bin\\true"));
  EXPECT_NO_THROW(system_.StartProcess(u"true"));    // searched on PATH
  std::ofstream(dir_ / "daten") << "kein Programm";  // not executable, also for root
  const auto dir = text::FromUtf8(dir_.string());
  const struct {
    std::u16string path;
    const char* reason;
  } cases[] = {
      {u"/nonexistent/program", "Datei oder Ordner nicht vorhanden"},
      {u"", "kein Programm angegeben"},
      {dir + u"/daten", "keine Berechtigung"},
      {dir, "keine Berechtigung"},
      {dir + u"/daten/programm", "ein Teil des Pfads ist kein Ordner"},
      {u"/" + std::u16string(5000, u'x'), "der Name ist zu lang"},
  };
  for (const auto& c : cases) {
    const std::string path = text::ToUtf8(c.path);
    try {
      system_.StartProcess(c.path);
      ADD_FAILURE() << "no error for " << path;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()),
                "Das Programm \"" + path + "\" kann nicht gestartet werden: " + c.reason);
    }
  }
}

TEST_F(PosixSystemTest, ReapsStartedPrograms) {
  system_.StartProcess(u"/bin/true");
  // Time for the program to end; then its reaper gets a few seconds before we call it stuck.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (HasZombieChild() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(HasZombieChild());
}

TEST(DefaultRegistryPathTest, EnvironmentOverridesTheDefault) {
  for (const auto& [value, path] : std::vector<std::pair<std::optional<std::string>, std::string>>{
           {"/tmp/my registry", "/tmp/my registry"}, {std::nullopt, "/etc/quorel/registry"}}) {
    const quorel::testing::ScopedEnv registry("QUOREL_REGISTRY", value);
    EXPECT_EQ(DefaultRegistryPath(), path);
  }
}

TEST(StandardErrorTest, EachTextIsOneLineWithTheProgramsName) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const int saved = dup(STDERR_FILENO);
  dup2(pipeFds[1], STDERR_FILENO);
  StandardError diagnostics;
  diagnostics.Line(u"Server nach 3 Versuchen nicht erreichbar!\r\nAbbruch");
  diagnostics.Line(u"zwei\nZeilen\rund \u201EUmlaute\u201C: \u00E4\u00F6\u00FC");
  diagnostics.Line(u"");
  dup2(saved, STDERR_FILENO);
  close(saved);
  close(pipeFds[1]);
  const std::string written = quorel::testing::ReadAll(pipeFds[0]);
  close(pipeFds[0]);
  EXPECT_EQ(written,
            "quorel: Server nach 3 Versuchen nicht erreichbar! Abbruch\n"
            "quorel: zwei Zeilen und \xE2\x80\x9EUmlaute\xE2\x80\x9C: \xC3\xA4\xC3\xB6\xC3\xBC\n"
            "quorel: \n");
}

TEST(LocalClockTest, WithinTheDayAndAdvancing) {
  LocalClock clock;
  const float before = clock.SecondsSinceMidnight();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const float after = clock.SecondsSinceMidnight();
  for (float t : {before, after}) {
    EXPECT_GE(t, 0.0f);
    EXPECT_LT(t, 86400.0f);
  }
  float elapsed = after - before;
  if (elapsed < 0) elapsed += 86400.0f;  // passed midnight
  // Float resolution near the end of the day is about 8 ms.
  EXPECT_GT(elapsed, 0.03f);
  EXPECT_LT(elapsed, 5.0f);
}

}  // namespace
}  // namespace quorel::posix
