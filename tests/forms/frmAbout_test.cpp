#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "logged_in.h"
#include "support/marker_program.h"
#include "support/temp_dir.h"
#include "support/test_registry.h"

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
    names.reserve(focusable.size());
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

// The registry values and a folder for the system information program.
class SysInfo : public ::testing::Test {
 protected:
  // Clicks "Systeminfo..." and returns the message boxes shown; the lines on standard error go
  // to lines_.
  std::vector<std::string> Click(bool expectMessage) {
    LoggedIn h(registry_.File());
    h.screen.PressF1(u"FMStart");
    h.screen.Click(u"frmAbout", u"cmdSysInfo");
    if (expectMessage) h.screen.Answer(platform::vbOK);
    EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
    EXPECT_TRUE(h.screen.IsVisible(u"frmAbout"));  // the box stays open in every case
    lines_ = h.Log("stderr");
    return h.Log("msgbox");
  }
  // A path as the registry holds it: in the code page, with the platform's separators.
  static std::string RegistryPath(const fs::path& path) {
    return text::ToCodePage(path.u16string());
  }

  TempDir dir_{"quorel-about"};
  TestRegistry registry_;
  std::vector<std::string> lines_;
  const std::string kMsinfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
  const std::string kLocation = "SOFTWARE\\Microsoft\\Shared Tools Location";
  const std::vector<std::string> kNotAvailable = {
      "msgbox style=0 title=Quorel: Systeminformationen sind momentan nicht verfügbar"};
};

TEST_F(SysInfo, PathValueIsStartedAsItIs) {
  const auto program = dir_ / "bin" / "sysinfo.exe";
  InstallMarkerProgram(program);
  registry_.SetText(kMsinfo, "PATH", RegistryPath(program));
  EXPECT_TRUE(Click(false).empty());
  EXPECT_TRUE(MarkerProgramStarted(program));
}

TEST_F(SysInfo, PathNamingAMissingFileEndsInTheMessageWithoutASecondLookup) {
  const auto program = dir_ / "tools" / "MSINFO32.EXE";
  InstallMarkerProgram(program);
  registry_.SetText(kMsinfo, "PATH", RegistryPath(dir_ / "missing"));
  registry_.SetText(kLocation, "MSINFO", RegistryPath(dir_ / "tools"));
  EXPECT_EQ(Click(true), kNotAvailable);
  EXPECT_FALSE(MarkerProgramStarted(program));
  // Why not is on standard error.
  ASSERT_EQ(lines_.size(), 1u);
  EXPECT_TRUE(lines_[0].starts_with(
      "stderr: Systeminformationen sind momentan nicht verfügbar: "
      "Das Programm \"" +
      U8((dir_ / "missing").u16string()) + "\" kann nicht gestartet werden: "))
      << lines_[0];
}

TEST_F(SysInfo, FolderValueIsUsedWhenItHoldsTheProgram) {
  const auto program = dir_ / "tools" / "MSINFO32.EXE";
  InstallMarkerProgram(program);
  registry_.SetText(kLocation, "MSINFO", RegistryPath(dir_ / "tools"));
  EXPECT_TRUE(Click(false).empty());
  EXPECT_TRUE(MarkerProgramStarted(program));
}

TEST_F(SysInfo, EveryOtherCaseEndsInTheOneMessage) {
  const struct {
    const char* what;
    std::string key, name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  } cases[] = {
      {"no registry values", "", "", 0, {}},
      {"folder without the program", kLocation, "MSINFO", platform::REG_SZ,
       Bytes(RegistryPath(dir_ / "empty") + '\0')},
      {"path of another type", kMsinfo, "PATH", platform::REG_BINARY, Bytes("/b")},
      {"empty path value", kMsinfo, "PATH", platform::REG_SZ, {}},
      {"path longer than the buffer", kMsinfo, "PATH", platform::REG_SZ,
       Bytes(std::string(1100, 'p') + '\0')},
  };
  fs::create_directories(dir_ / "empty");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    registry_.Clear();
    if (!c.key.empty()) registry_.Set(c.key, c.name, c.type, c.data);
    EXPECT_EQ(Click(true), kNotAvailable);
  }
}

}  // namespace
}  // namespace quorel::testing
