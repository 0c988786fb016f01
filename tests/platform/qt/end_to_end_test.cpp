// The built program as a separate process: its own X server, a temporary embedded database with
// one user, a temporary settings folder, and the login on the command line.
//   quorel_end_to_end_test PROGRAM SQL_DIR
// SQL_DIR holds sqlite/schema.sql: sql/ of the sources, or share/quorel/ of an installation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "x11_session.h"

namespace {

using quorel::testing::TempDir;
using quorel::x11::milliseconds;
namespace fs = std::filesystem;

std::string program, sqlDir;

// What the program runs with: the test's X server, the embedded database file, and settings
// and run-time folders of the test's own.
std::map<std::string, std::string> Environment(const quorel::x11::Xvfb& xvfb, const TempDir& tmp,
                                               const fs::path& db) {
  return {{"DISPLAY", xvfb.Display()},
          {"QT_QPA_PLATFORM", "xcb"},
          {"MIRLOX_SERVER", "sqlite:" + db.string()},
          {"XDG_CONFIG_HOME", (tmp.path() / "config").string()},
          {"XDG_RUNTIME_DIR", tmp.path().string()}};
}

// A database with the given schema and the users of the tests.
void CreateDatabase(const fs::path& db) {
  const fs::path script = db.parent_path() / "users.sql";
  std::ofstream(script) << "INSERT INTO \"MX.ParPersEdv\" (\"ID\", \"FIRMA\", \"KUERZEL\", "
                           "\"PASSWORT\", \"AKTIV\", \"PNAME\", \"PERSNR\") VALUES "
                           "('1||ZWEI', 1, 'ZWEI', 'ende2', 'J', 'Erwin Zweiende', 7), "
                           "('1||-style', 1, '-style', '-reverse', 'J', 'Meier [*] GmbH', 8);\n";
  const std::string command = "timeout 20 sqlite3 -bail '" + db.string() + "' < '" + sqlDir +
                              "/sqlite/schema.sql' && timeout 20 sqlite3 -bail '" + db.string() +
                              "' < '" + script.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(EndToEnd, CommandLineLoginShowsTheMainWindowAndItsCloseBoxEndsTheProgram) {
  TempDir tmp("quorel-e2e");
  const fs::path db = tmp.path() / "MIRLOX.sqlite3";
  CreateDatabase(db);
  if (HasFatalFailure()) return;
  quorel::x11::Xvfb xvfb;
  quorel::x11::Screen screen(xvfb.Display());
  quorel::x11::Process quorel({program, "1", "0", "ZWEI", "ende2", "127.0.0.1", "1972", "MIRLOX"},
                              Environment(xvfb, tmp, db));
  const std::string expected =
      "MIRLOX Quorel              Firma: 1     Filiale: 0     Benutzer: ZWEI | Erwin Zweiende";
  const auto window = screen.WaitForWindow(
      [](const std::string& title) { return title.starts_with("MIRLOX"); }, milliseconds(30000));
  ASSERT_NE(window, 0u) << "no window of the program appeared";
  EXPECT_EQ(screen.Title(window), expected);
  screen.Close(window);
  EXPECT_EQ(quorel.Wait(milliseconds(15000)), std::optional<int>(0));
  // Command-line logins leave the settings alone.
  EXPECT_FALSE(fs::exists(tmp.path() / "config" / "Cache Login.ini"));
}

// The process ends once the main window has closed, also when the toolkit's teardown would
// block for good (as Qt's Wayland teardown can): the program does not wait for it.
TEST(EndToEnd, TheEndDoesNotWaitForTheToolkitsTeardown) {
  TempDir tmp;
  const fs::path db = tmp.path() / "MIRLOX.sqlite3";
  CreateDatabase(db);
  if (HasFatalFailure()) return;
  quorel::x11::Xvfb xvfb;
  quorel::x11::Screen screen(xvfb.Display());
  auto env = Environment(xvfb, tmp, db);
  env["LD_PRELOAD"] = QUOREL_BLOCKING_TEARDOWN;
  // A sanitized program wants its runtime first among the libraries.
  const char* asan = std::getenv("ASAN_OPTIONS");
  env["ASAN_OPTIONS"] = std::string(asan ? asan : "") + ":verify_asan_link_order=0";
  quorel::x11::Process quorel({program, "1", "0", "ZWEI", "ende2", "127.0.0.1", "1972", "MIRLOX"},
                              env);
  const auto window = screen.WaitForWindow(
      [](const std::string& title) { return title.starts_with("MIRLOX Quorel"); },
      milliseconds(30000));
  ASSERT_NE(window, 0u) << "the main window did not appear";
  screen.Close(window);
  EXPECT_EQ(quorel.Wait(milliseconds(5000)), std::optional<int>(0));
}

// Words that Qt would take for its own options are fields like any other, and a caption shows
// exactly its text.
TEST(EndToEnd, ArgumentsThatLookLikeQtOptionsAreLoginFields) {
  TempDir tmp("quorel-e2e");
  const fs::path db = tmp.path() / "MIRLOX.sqlite3";
  CreateDatabase(db);
  if (HasFatalFailure()) return;
  quorel::x11::Xvfb xvfb;
  quorel::x11::Screen screen(xvfb.Display());
  quorel::x11::Process quorel(
      {program, "1", "0", "-style", "-reverse", "127.0.0.1", "1972", "MIRLOX"},
      Environment(xvfb, tmp, db));
  // The main window, or the message of a refused login.
  const auto window = screen.WaitForWindow([](const std::string& title) { return !title.empty(); },
                                           milliseconds(30000));
  ASSERT_NE(window, 0u) << "no window of the program appeared";
  EXPECT_EQ(screen.Title(window),
            "MIRLOX Quorel              Firma: 1     Filiale: 0     Benutzer: -style | Meier [*] "
            "GmbH");
  screen.Close(window);
  EXPECT_EQ(quorel.Wait(milliseconds(15000)), std::optional<int>(0));
}

// Under a window manager: the server dialog between connection attempts has no owner; it has
// a task-bar entry, and minimised it comes back, since the program waits for it.
TEST(EndToEnd, ServerDialogBetweenAttemptsStaysWithinReach) {
  TempDir tmp("quorel-e2e");
  quorel::x11::Xvfb xvfb;
  quorel::x11::WindowManager openbox(xvfb.Display());
  quorel::x11::Screen screen(xvfb.Display());
  quorel::x11::Process quorel({program, "1", "0", "ZWEI", "ende2", "127.0.0.1", "1972", "MIRLOX"},
                              Environment(xvfb, tmp, tmp.path() / "fehlt.sqlite3"));
  const auto dialog = screen.WaitForClient(
      [](const std::string& title) { return title == "MIRLOX Server"; }, milliseconds(30000));
  ASSERT_NE(dialog, 0u) << "the server dialog did not appear";
  // What a task bar goes by: a normal window of its own, not transient, not skipped.
  EXPECT_EQ(screen.AtomNames(dialog, "_NET_WM_WINDOW_TYPE"),
            std::vector<std::string>{"_NET_WM_WINDOW_TYPE_NORMAL"});
  EXPECT_FALSE(screen.HasProperty(dialog, "WM_TRANSIENT_FOR"));
  const auto state = screen.AtomNames(dialog, "_NET_WM_STATE");
  EXPECT_EQ(std::count(state.begin(), state.end(), "_NET_WM_STATE_SKIP_TASKBAR"), 0);
  EXPECT_EQ(screen.IconifyAndWatch(dialog, milliseconds(5000)),
            (std::vector<std::string>{"unmap", "map"}));
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PROGRAM SQL_DIR\n", argv[0]);
    return 2;
  }
  program = argv[1];
  sqlDir = argv[2];
  return RUN_ALL_TESTS();
}
