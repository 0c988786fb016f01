#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "logged_in.h"

namespace quorel::testing {
namespace {

namespace fs = std::filesystem;

TEST(frmAbout, ShowsTitleAndVersionAndClosesWithOkEnterEscapeOrTheCloseBox) {
  LoggedIn h;
  for (int i = 0; i < 4; ++i) {
    h.screen.PressF1(u"FMStart");
    h.screen.Check("loaded", [&] {
      EXPECT_EQ(h.screen.CaptionOf(u"frmAbout"), u"Info zu Quorel");
      EXPECT_EQ(h.screen.TextOf(u"frmAbout", u"lblTitle"), u"Quorel");
      EXPECT_EQ(h.screen.TextOf(u"frmAbout", u"lblVersion"), u"1.0.0");
      EXPECT_EQ(h.screen.TextOf(u"frmAbout", u"Version"), u"Version ");
      EXPECT_EQ(h.screen.FocusOf(u"frmAbout"), u"cmdOK");
    });
    if (i == 0) h.screen.Click(u"frmAbout", u"cmdOK");
    if (i == 1) h.screen.PressEnter(u"frmAbout");
    if (i == 2) h.screen.PressEscape(u"frmAbout");
    if (i == 3) h.screen.CloseBox(u"frmAbout");
  }
  EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
  EXPECT_EQ(h.Log("create frmAbout").size(), 4u);
  EXPECT_EQ(h.Log("destroy frmAbout").size(), 4u);
}

// The rule every backend builds its focus order from: both links are in it at their places,
// labels never are, whatever their tab index.
TEST(frmAbout, FocusOrderTakesInBothLinksAndNoLabel) {
  const auto order = [](const platform::FormDescription& form) {
    std::vector<const platform::ControlDescription*> focusable;
    for (const auto& c : form.controls)
      if (platform::TakesFocus(c)) focusable.push_back(&c);
    std::stable_sort(focusable.begin(), focusable.end(),
                     [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
    std::vector<std::u16string> names;
    for (auto* c : focusable)
      names.push_back(c->name);
    return names;
  };
  EXPECT_EQ(order(forms::frmAboutLayout()),
            (std::vector<std::u16string>{u"cmdOK", u"picIcon", u"cmdSysInfo", u"ctHyperLink1",
                                         u"ctHyperLink2"}));
  EXPECT_EQ(order(forms::FMServerLayout()),
            (std::vector<std::u16string>{u"BPORT", u"BSERVERIP", u"BFIRMA", u"BFIL", u"BUEdit",
                                         u"BUZurück", u"BNAMESPACE"}));
}

// A registry file and a folder for the system information program.
class SysInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorel-about-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    marker_ = dir_ / "started";
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A program that leaves a marker file behind when it runs.
  fs::path Program(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\ntouch '" << marker_.string() << "'\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  void Registry(const std::string& text) { std::ofstream(dir_ / "registry") << text; }
  bool Started() {
    for (int i = 0; i < 200 && !fs::exists(marker_); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(marker_);
  }
  // Clicks "Systeminfo..." and returns the message boxes shown.
  std::vector<std::string> Click(bool expectMessage) {
    LoggedIn h((dir_ / "registry").string());
    h.screen.PressF1(u"FMStart");
    h.screen.Click(u"frmAbout", u"cmdSysInfo");
    if (expectMessage) h.screen.Answer(platform::vbOK);
    EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
    EXPECT_TRUE(h.screen.IsVisible(u"frmAbout"));  // the box stays open in every case
    return h.Log("msgbox");
  }

  fs::path dir_, marker_;
  const std::string kMsinfo = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n";
  const std::string kLocation =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\n";
  const std::vector<std::string> kNotAvailable = {
      "msgbox style=0 title=Quorel: Systeminformationen sind momentan nicht verfügbar"};
};

TEST_F(SysInfo, PathValueIsStartedAsItIs) {
  const auto program = Program(dir_ / "bin" / "sysinfo");
  Registry(kMsinfo + "\"PATH\"=sz:" + program.string() + "\n");
  EXPECT_TRUE(Click(false).empty());
  EXPECT_TRUE(Started());
}

TEST_F(SysInfo, PathNamingAMissingFileEndsInTheMessageWithoutASecondLookup) {
  Program(dir_ / "tools" / "MSINFO32.EXE");
  Registry(kMsinfo + "\"PATH\"=sz:" + (dir_ / "missing").string() + "\n" + kLocation +
           "\"MSINFO\"=sz:" + (dir_ / "tools").string() + "\n");
  EXPECT_EQ(Click(true), kNotAvailable);
  EXPECT_FALSE(Started());
}

TEST_F(SysInfo, FolderValueIsUsedWhenItHoldsTheProgram) {
  Program(dir_ / "tools" / "MSINFO32.EXE");
  Registry(kLocation + "\"MSINFO\"=sz:" + (dir_ / "tools").string() + "\n");
  EXPECT_TRUE(Click(false).empty());
  EXPECT_TRUE(Started());
}

TEST_F(SysInfo, EveryOtherCaseEndsInTheOneMessage) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"no registry values", ""},
      {"folder without the program", kLocation + "\"MSINFO\"=sz:" + "/nonexistent\n"},
      {"path of another type", kMsinfo + "\"PATH\"=hex(3):2f,62\n"},
      {"empty path value", kMsinfo + "\"PATH\"=hex(1):\n"},
      {"path longer than the buffer", kMsinfo + "\"PATH\"=sz:" + std::string(1100, 'p') + "\n"},
  };
  for (const auto& [what, registry] : cases) {
    SCOPED_TRACE(what);
    Registry(registry);
    EXPECT_EQ(Click(true), kNotAvailable);
  }
}

}  // namespace
}  // namespace quorel::testing
