// Saves from other processes: two at once, one killed midway, one without the right to write,
// one on a full disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/qt/ini_settings_store.h"
#include "platform/text.h"
#include "tests/platform/qt/store/store_sets.h"
#include "tests/support/own_mounts.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged_user.h"

namespace quorel::qt {
namespace {

namespace fs = std::filesystem;

using Helper = quorel::testing::ChildProcess;  // a run of the helper program
using testing::ReadBytes;

class StoreProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir_);
    fs::create_directory(snapshots_);
  }
  void TearDown() override {
    // Undo what the tests made read-only, so that everything can be removed.
    for (const auto& entry : fs::recursive_directory_iterator(root_))
      if (entry.is_directory()) fs::permissions(entry.path(), fs::perms::owner_all);
  }

  fs::path File() const { return dir_ / "Cache Login.ini"; }

  // The tag of the complete set in one copy of the file as it is now, read by a fresh store.
  // Each copy gets a name of its own, so that nothing read before can stand in for it.
  std::optional<std::u16string> SnapshotTag() {
    const std::string bytes = ReadBytes(File());
    const std::string name = "Abzug " + std::to_string(++snapshotCount_);
    std::ofstream(snapshots_ / (name + ".ini"), std::ios::binary) << bytes;
    IniSettingsStore store(snapshots_.string());
    const auto tag = testing::CompleteSetTag(store, text::FromUtf8(name));
    fs::remove(snapshots_ / (name + ".ini"));
    if (!tag) lastBadSnapshot_ = bytes;
    return tag;
  }

  // The names of the files in the folder of file, but for file itself.
  static std::vector<std::string> FilesBeside(const fs::path& file) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(file.parent_path()))
      if (entry.path() != file) names.push_back(entry.path().filename().string());
    return names;
  }

  void Seed(std::u16string_view tag) {
    IniSettingsStore store(dir_.string());
    testing::SaveSet(store, tag);
  }

  quorel::testing::TempDir temp_{"ini_store_proc"};
  fs::path root_ = temp_.path(), dir_ = root_ / "konfig", snapshots_ = root_ / "abzuege";
  int snapshotCount_ = 0;
  std::string lastBadSnapshot_;
};

TEST_F(StoreProcessTest, ConcurrentSavesAlwaysLeaveOneCompleteSet) {
  constexpr int kRounds = 100;
  Seed(u"Start");
  Helper a({QUOREL_STORE_HELPER, "loop", dir_.string(), "A", std::to_string(kRounds)});
  Helper b({QUOREL_STORE_HELPER, "loop", dir_.string(), "B", std::to_string(kRounds)});
  int checked = 0, incomplete = 0;
  bool aRunning = true, bRunning = true;
  while (aRunning || bRunning) {
    if (!SnapshotTag()) ++incomplete;
    ++checked;
    aRunning = aRunning && a.Running();
    bRunning = bRunning && b.Running();
  }
  EXPECT_EQ(a.ExitStatus(), 0) << a.Errors();
  EXPECT_EQ(b.ExitStatus(), 0) << b.Errors();
  EXPECT_EQ(incomplete, 0) << "of " << checked << " copies; last one:\n" << lastBadSnapshot_;
  // The process that finished last wrote last.
  const auto last = SnapshotTag();
  ASSERT_TRUE(last);
  EXPECT_TRUE(*last == u"A-99" || *last == u"B-99") << text::ToUtf8(*last);
  EXPECT_EQ(FilesBeside(File()), std::vector<std::string>{});
}

TEST_F(StoreProcessTest, ProcessKilledWhileSavingLeavesAWholeFile) {
  constexpr int kRounds = 30;
  const unsigned seed = std::random_device()();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayUs(0, 4000);
  Seed(u"Start");
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    Helper saver({QUOREL_STORE_HELPER, "loop", dir_.string(), "K" + std::to_string(round), "0"});
    ASSERT_EQ(saver.ReadLine(), "ready") << saver.Errors();
    // The lock the process killed before left behind held this one up briefly at most.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << round;
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    saver.Kill();
    ASSERT_EQ(saver.Wait(), 128 + SIGKILL);
    const auto after = SnapshotTag();
    ASSERT_TRUE(after) << "round " << round << ":\n" << lastBadSnapshot_;
    ASSERT_TRUE(after->starts_with(text::FromUtf8("K" + std::to_string(round) + "-")))
        << text::ToUtf8(*after);
  }
  // Locks left by the killed processes do not hold up the next save for long.
  const auto start = std::chrono::steady_clock::now();
  Seed(u"Ende");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_EQ(SnapshotTag(), u"Ende");
  for (const auto& name : FilesBeside(File()))
    EXPECT_FALSE(name.find(".damaged-") != std::string::npos || name.ends_with(".lock")) << name;
}

// Fills the file system of dir up to its last block.
void FillBlocks(const fs::path& dir) {
  const int fd = open((dir / "fill").c_str(), O_WRONLY | O_CREAT, 0600);
  const std::string block(4096, 'x');
  while (write(fd, block.data(), block.size()) > 0) {
  }
  close(fd);
}

// Fills it up but for one block.
void FillBlocksButOne(const fs::path& dir) {
  FillBlocks(dir);
  truncate((dir / "fill").c_str(), static_cast<off_t>(fs::file_size(dir / "fill") - 4096));
}

// Uses up every file it can hold.
void FillInodes(const fs::path& dir) {
  for (int n = 0;; ++n) {
    const int fd = open((dir / ("fill-" + std::to_string(n))).c_str(), O_WRONLY | O_CREAT, 0600);
    if (fd < 0) return;
    close(fd);
  }
}

// A save on a full file system: a tiny one mounted over the settings folder, in a child process
// of its own for each case. The reason is the full disk, wherever the save runs out of room,
// and the file is as it was.
TEST_F(StoreProcessTest, AFullDiskIsNamedAsTheReasonAndTheFileStaysAsItWas) {
  const struct {
    const char* what;
    const char* options;
    void (*fill)(const fs::path& dir);
    const char* cause;
  } cases[] = {
      {"no room for the lock", "size=64k", FillBlocks, "kann keine Datei angelegt werden"},
      {"no file left", "size=1m,nr_inodes=16", FillInodes, "kann keine Datei angelegt werden"},
      {"no room for the data", "size=64k", FillBlocksButOne,
       "das Schreiben der Datei ist fehlgeschlagen"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // Reports the error, whether the file kept its bytes, and what else was left in dir.
    const std::string report = quorel::testing::InChildProcess([&]() -> std::string {
      if (std::string failed = quorel::testing::EnterOwnMountNamespace(); !failed.empty())
        return "failed " + failed;
      if (mount("tmpfs", dir_.c_str(), "tmpfs", 0, c.options) != 0)
        return std::string("failed mount: ") + strerror(errno);
      Seed(u"alt");  // no gtest checks in here: they would not reach the parent
      const std::string before = ReadBytes(File());
      c.fill(dir_);
      std::string error = "saved";
      try {
        IniSettingsStore store(dir_.string());
        testing::SaveSet(store, u"neu");
        store.Flush();
      } catch (const std::exception& e) {
        error = e.what();
      }
      std::string left;
      for (const auto& name : FilesBeside(File()))
        if (!name.starts_with("fill")) left += name + " ";
      error += ReadBytes(File()) == before ? "\nunchanged\n" : "\nchanged\n";
      return error += left;
    });
    ASSERT_FALSE(report.starts_with("failed ")) << report;
    std::istringstream lines(report);
    std::string error, unchanged, left;
    std::getline(lines, error);
    std::getline(lines, unchanged);
    std::getline(lines, left);
    EXPECT_NE(error.find("Die Einstellungsdatei \u201E" + File().string() +
                         "\u201C kann nicht gespeichert werden: "),
              std::string::npos)
        << error;
    EXPECT_NE(error.find(std::string(c.cause) + " (der Datenträger ist voll)"), std::string::npos)
        << error;
    EXPECT_EQ(unchanged, "unchanged");
    EXPECT_EQ(left, "");
  }
}

// Saves through the helper as a user without the rights to write, which root is not: run as
// root, the test runs once more as the user nobody.
class UnwritableStoreTest : public StoreProcessTest {
 protected:
  // Saves the set "neu" into dir; returns the exit status, the errors in errors.
  static int Save(const fs::path& dir, std::string& errors) {
    Helper saver({QUOREL_STORE_HELPER, "save", dir.string(), "neu"});
    const int status = saver.Wait();
    errors = saver.Errors();
    return status;
  }
};

TEST_F(UnwritableStoreTest, SaveFailsWithTheFileAndTheCauseAndChangesNothing) {
  if (quorel::testing::RunsAsRoot()) return quorel::testing::RerunAsUnprivilegedUser();
  const struct {
    const char* what = nullptr;
    unsigned dirMode = 0;
    std::optional<unsigned> fileMode;  // nothing: no file yet
    const char* cause = nullptr;
  } cases[] = {
      {"read-only file", 0700, 0400, "die Datei ist schreibgeschützt"},
      {"unreadable file", 0700, 0200, "die vorhandene Datei ist nicht lesbar"},
      {"read-only folder", 0500, 0600, "kann keine Datei angelegt werden"},
      {"read-only folder, no file", 0500, std::nullopt, "kann keine Datei angelegt werden"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path dir = root_ / c.what;
    fs::create_directory(dir);
    const fs::path file = dir / "Cache Login.ini";
    std::string before;
    if (c.fileMode) {
      IniSettingsStore store(dir.string());
      store.SaveSetting(testing::kApp, testing::kSection, u"Firma", u"alt");
      store.Flush();
      before = ReadBytes(file);
      ASSERT_EQ(chmod(file.c_str(), *c.fileMode), 0);
    }
    ASSERT_EQ(chmod(dir.c_str(), c.dirMode), 0);
    std::string errors;
    EXPECT_EQ(Save(dir, errors), 3);
    EXPECT_NE(errors.find("Die Einstellungsdatei \u201E" + file.string() +
                          "\u201C kann nicht gespeichert werden: "),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find(c.cause), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Die Einstellungsdatei", 1), std::string::npos) << "reported twice";
    if (c.fileMode) chmod(file.c_str(), 0600);  // readable again, also to a test not run as root
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(FilesBeside(file), std::vector<std::string>{});
  }
}

TEST_F(UnwritableStoreTest, MissingFolderThatCannotBeCreatedIsNamed) {
  if (quorel::testing::RunsAsRoot()) return quorel::testing::RerunAsUnprivilegedUser();
  const fs::path locked = root_ / "gesperrt";
  fs::create_directory(locked);
  ASSERT_EQ(chmod(locked.c_str(), 0500), 0);
  std::string errors;
  EXPECT_EQ(Save(locked / "a" / "b", errors), 3);
  EXPECT_NE(errors.find("der Ordner \u201E" + (locked / "a").string() +
                        "\u201C kann nicht angelegt werden (keine Berechtigung)"),
            std::string::npos)
      << errors;
}

}  // namespace
}  // namespace quorel::qt
