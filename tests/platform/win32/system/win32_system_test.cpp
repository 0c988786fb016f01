#include "platform/win32/system/win32_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>

#include "platform/text.h"
#include "platform/win32/system/command_line.h"
#include "support/marker_program.h"
#include "support/temp_dir.h"

namespace quorel::win32 {
namespace {

TEST(ArgumentTextTest, TakesTheTextAfterTheProgramNameWithoutTheQuoting) {
  const struct {
    std::u16string line, text;
  } cases[] = {
      {u"quorel.exe", u""},
      {u"quorel.exe ", u""},
      {u"quorel.exe 1 0 ABC pw", u"1 0 ABC pw"},
      {u"quorel.exe 1 \"\" ABC", u"1  ABC"},  // an empty argument is an empty field
      {u"quorel.exe 1  ABC", u"1  ABC"},      // so are two blanks
      {u"quorel.exe  0 ABC", u" 0 ABC"},      // a leading blank: field 1 empty
      {u"quorel.exe \"\" 0", u" 0"},
      {u"\"C:\\Program Files\\quorel.exe\" 1 0", u"1 0"},
      {u"quorel.exe \"a b\" c", u"a b c"},
      {u"quorel.exe a\\\"b", u"a\"b"},          // \" is a quote character
      {u"quorel.exe a\\\\\"b c\"", u"a\\b c"},  // \\" is a backslash, then a quote
      {u"quorel.exe a\\b\\\\c", u"a\\b\\\\c"},  // other backslashes stay
      {u"quorel.exe \"a\"\"b\"", u"a\"b"},      // "" inside quotes is a quote character
      {u"quorel.exe Größe -reverse", u"Größe -reverse"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ArgumentText(c.line), c.text) << text::ToUtf8(c.line);
}

TEST(Win32SystemTest, TitleAndVersionComeFromTheVersionResource) {
  Win32System system(u"");
  EXPECT_EQ(system.AppTitle(), u"Quorel");
  const auto version = system.AppVersion();
  EXPECT_EQ(version.major, 1);
  EXPECT_EQ(version.minor, 0);
  EXPECT_EQ(version.revision, 0);
}

TEST(Win32SystemTest, FindsOnlyOrdinaryFiles) {
  testing::TempDir dir("quorel-files");
  const auto make = [&](const char* name, DWORD attributes) {
    const auto path = dir / name;
    testing::InstallMarkerProgram(path);
    if (attributes != 0) SetFileAttributesW(path.c_str(), attributes);
    return path.u16string();
  };
  Win32System system(u"");
  EXPECT_TRUE(system.FileExists(make("plain.exe", 0)));
  EXPECT_TRUE(system.FileExists(make("readonly.exe", FILE_ATTRIBUTE_READONLY)));
  EXPECT_FALSE(system.FileExists(make("hidden.exe", FILE_ATTRIBUTE_HIDDEN)));
  EXPECT_FALSE(system.FileExists(make("system.exe", FILE_ATTRIBUTE_SYSTEM)));
  EXPECT_FALSE(system.FileExists(dir.path().u16string()));
  EXPECT_FALSE(system.FileExists((dir / "missing.exe").u16string()));
  EXPECT_FALSE(system.FileExists(u""));
}

TEST(Win32SystemTest, StartsAProgramOrSaysWhyNot) {
  testing::TempDir dir("quorel-start");
  const auto program = dir / "with blank" / "tool.exe";
  testing::InstallMarkerProgram(program);
  Win32System system(u"");
  system.StartProcess(program.u16string());
  EXPECT_TRUE(testing::MarkerProgramStarted(program));

  try {
    system.StartProcess((dir / "missing.exe").u16string());
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("kann nicht gestartet werden"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace quorel::win32
