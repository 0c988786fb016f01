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

// Each test has its own X server, a screen watching it, and a folder with the database of the
// tests' users and the program's settings and run-time folders.
class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path script = tmp.path() / "users.sql";
    std::ofstream(script) << "INSERT INTO \"MX.ParPersEdv\" (\"ID\", \"FIRMA\", \"KUERZEL\", "
                             "\"PASSWORT\", \"AKTIV\", \"PNAME\", \"PERSNR\") VALUES "
                             "('1||ZWEI', 1, 'ZWEI', 'ende2', 'J', 'Erwin Zweiende', 7), "
                             "('1||-style', 1, '-style', '-reverse', 'J', 'Meier [*] GmbH', 8);\n";
    const std::string command = "timeout 20 sqlite3 -bail '" + db.string() + "' < '" + sqlDir +
                                "/sqlite/schema.sql' && timeout 20 sqlite3 -bail '" + db.string() +
                                "' < '" + script.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  // The program, logged in by its command line as user of company 1, branch 0. env adds to
  // what it runs with: the test's X server, database, settings and run-time folders.
  quorel::x11::Process Start(const std::string& user, const std::string& password,
                             std::map<std::string, std::string> env = {}) {
    env.merge(
        std::map<std::string, std::string>{{"DISPLAY", xvfb.Display()},
                                           {"QT_QPA_PLATFORM", "xcb"},
                                           {"MIRLOX_SERVER", "sqlite:" + db.string()},
                                           {"XDG_CONFIG_HOME", (tmp.path() / "config").string()},
                                           {"XDG_RUNTIME_DIR", tmp.path().string()}});
    return {{program, "1", "0", user, password, "127.0.0.1", "1972", "MIRLOX"}, env};
  }

  // Closes the program's first window with a title through its close box and returns the
  // title; the program must then end with status 0 within endTimeout.
  std::string CloseFirstWindow(quorel::x11::Process& quorel, milliseconds endTimeout) {
    const auto window = screen.WaitForWindow(
        [](const std::string& title) { return !title.empty(); }, milliseconds(30000));
    if (window == 0) {
      ADD_FAILURE() << "no window of the program appeared";
      return {};
    }
    std::string title = screen.Title(window);
    screen.Close(window);
    EXPECT_EQ(quorel.Wait(endTimeout), std::optional<int>(0));
    return title;
  }

  TempDir tmp{"quorel-e2e"};
  const fs::path db = tmp.path() / "MIRLOX.sqlite3";
  quorel::x11::Xvfb xvfb;
  quorel::x11::Screen screen{xvfb.Display()};
};

TEST_F(EndToEnd, CommandLineLoginShowsTheMainWindowAndItsCloseBoxEndsTheProgram) {
  auto quorel = Start("ZWEI", "ende2");
  EXPECT_EQ(
      CloseFirstWindow(quorel, milliseconds(15000)),
      "MIRLOX Quorel              Firma: 1     Filiale: 0     Benutzer: ZWEI | Erwin Zweiende");
  // Command-line logins leave the settings alone.
  EXPECT_FALSE(fs::exists(tmp.path() / "config" / "Cache Login.ini"));
}

// The process ends once the main window has closed, also when the toolkit's teardown would
// block for good (as Qt's Wayland teardown can): the program does not wait for it.
TEST_F(EndToEnd, TheEndDoesNotWaitForTheToolkitsTeardown) {
  // A sanitized program wants its runtime first among the libraries.
  const char* asan = std::getenv("ASAN_OPTIONS");
  auto quorel =
      Start("ZWEI", "ende2",
            {{"LD_PRELOAD", QUOREL_BLOCKING_TEARDOWN},
             {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"}});
  EXPECT_TRUE(CloseFirstWindow(quorel, milliseconds(5000)).starts_with("MIRLOX Quorel"));
}

// Words that Qt would take for its own options are fields like any other, and a caption shows
// exactly its text. The first window is the main window, or the message of a refused login.
TEST_F(EndToEnd, ArgumentsThatLookLikeQtOptionsAreLoginFields) {
  auto quorel = Start("-style", "-reverse");
  EXPECT_EQ(CloseFirstWindow(quorel, milliseconds(15000)),
            "MIRLOX Quorel              Firma: 1     Filiale: 0     Benutzer: -style | Meier [*] "
            "GmbH");
}

// Under a window manager: the server dialog between connection attempts has no owner; it has
// a task-bar entry, and minimised it comes back, since the program waits for it.
TEST_F(EndToEnd, ServerDialogBetweenAttemptsStaysWithinReach) {
  quorel::x11::WindowManager openbox(xvfb.Display());
  auto quorel = Start("ZWEI", "ende2",
                      {{"MIRLOX_SERVER", "sqlite:" + (tmp.path() / "fehlt.sqlite3").string()}});
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
