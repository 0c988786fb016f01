#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "forms/frmAbout.h"
#include "platform/posix/posix_system.h"
#include "platform/text.h"

namespace quorel::forms {
namespace {

using platform::HKEY_LOCAL_MACHINE;

// Reading the registry must not touch any window.
class NoDesktop : public platform::Desktop {
 public:
  [[noreturn]] static void Touched() { throw std::logic_error("desktop touched"); }
  void Register(const platform::FormDescription&, platform::FormHandlers&) override { Touched(); }
  bool Exists(std::u16string_view) const override { Touched(); }
  bool Visible(std::u16string_view) const override { Touched(); }
  void Load(std::u16string_view) override { Touched(); }
  void Show(std::u16string_view, platform::ShowMode, std::u16string_view) override { Touched(); }
  void Hide(std::u16string_view) override { Touched(); }
  void Unload(std::u16string_view) override { Touched(); }
  std::u16string Caption(std::u16string_view) override { Touched(); }
  void SetCaption(std::u16string_view, std::u16string_view) override { Touched(); }
  std::u16string Text(std::u16string_view, std::u16string_view) override { Touched(); }
  void SetText(std::u16string_view, std::u16string_view, std::u16string_view) override {
    Touched();
  }
  bool Enabled(std::u16string_view, std::u16string_view) override { Touched(); }
  void SetEnabled(std::u16string_view, std::u16string_view, bool) override { Touched(); }
  bool Value(std::u16string_view, std::u16string_view) override { Touched(); }
  void SetValue(std::u16string_view, std::u16string_view, bool) override { Touched(); }
  void SetFocus(std::u16string_view, std::u16string_view) override { Touched(); }
  bool TimerEnabled(std::u16string_view, std::u16string_view) override { Touched(); }
  void SetTimerEnabled(std::u16string_view, std::u16string_view, bool) override { Touched(); }
  int MsgBox(std::u16string_view, int, std::u16string_view) override { Touched(); }
  int MousePointer() const override { Touched(); }
  void SetMousePointer(int) override { Touched(); }
  void DoEvents(std::chrono::milliseconds) override { Touched(); }
  void Run() override { Touched(); }
  void CloseAll() override { Touched(); }
  [[noreturn]] void End(int) override { Touched(); }
};

std::string HexBytes(std::size_t count, const char* byte) {
  std::string list;
  for (std::size_t i = 0; i < count; ++i)
    list += (i ? "," : "") + std::string(byte);
  return list;
}

class GetKeyValueTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = std::filesystem::temp_directory_path() / "get_key_value_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // A registry holding one value "V" under SOFTWARE\Test, given by its entry text.
  void WriteValue(const std::string& entry) {
    std::ofstream(dir_ / "registry") << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n\"V\"=" << entry
                                     << "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Gr\xC3\xB6\xC3\x9F"
                                     << "e]\n\"V\"=sz:umlaut\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\?]\n"
                                     << "\"V\"=sz:question\n";
  }

  bool Get(std::u16string_view key, std::u16string& value) {
    posix::PosixSystem system(u"", (dir_ / "registry").string());
    NoDesktop desktop;
    frmAbout about(desktop, system);
    return about.GetKeyValue(HKEY_LOCAL_MACHINE, key, u"V", value);
  }

  std::filesystem::path dir_;
};

TEST_F(GetKeyValueTest, ConvertsByTypeAndSize) {
  const std::u16string a1023(1023, u'A'), a1024(1024, u'A');
  const struct {
    std::string entry;
    std::u16string passedIn;
    bool found;
    std::u16string result;
  } cases[] = {
      {"sz:/usr/bin/tool", u"old", true, u"/usr/bin/tool"},
      {"hex(1):41,42", u"", true, u"AB"},                          // no terminator: kept whole
      {"hex(1):41,00,42", u"", true, std::u16string(u"A\0B", 3)},  // only the last byte counts
      {"hex(1):00", u"old", true, u""},
      {"hex(1):e4", u"", true, u"ä"},
      {"sz:" + std::string(1023, 'A'), u"", true, a1023},    // 1024 bytes with terminator
      {"sz:" + std::string(1024, 'A'), u"old", false, u""},  // 1025 bytes do not fit
      {"hex(1):" + HexBytes(1024, "41"), u"", true, a1024},  // 1024 bytes, no terminator
      {"dword:0000002a", u"", true, u"&h002A"},              // 2a 00 00: the last zero goes
      {"dword:12345678", u"", true, u"&h12345678"},
      {"dword:00000100", u"", true, u"&h010"},
      {"dword:0000ff0a", u"x", true, u"&hx0FFA"},  // appended to the text passed in
      {"hex(3):01,02", u"keep", true, u"keep"},
      {"hex(2):41,00", u"keep", true, u"keep"},
  };
  for (const auto& c : cases) {
    WriteValue(c.entry);
    std::u16string value = c.passedIn;
    EXPECT_EQ(Get(u"SOFTWARE\\Test", value), c.found) << c.entry.substr(0, 40);
    EXPECT_EQ(value, c.result) << c.entry.substr(0, 40);
  }
}

TEST_F(GetKeyValueTest, EmptyValueIsAnError) {
  WriteValue("hex(1):");
  std::u16string value;
  EXPECT_THROW(Get(u"SOFTWARE\\Test", value), std::runtime_error);
}

TEST_F(GetKeyValueTest, MissingKeyOrValueClearsTheText) {
  WriteValue("sz:x");
  std::u16string value = u"old";
  EXPECT_FALSE(Get(u"SOFTWARE\\Missing", value));
  EXPECT_EQ(value, u"");
  std::filesystem::remove(dir_ / "registry");
  value = u"old";
  EXPECT_FALSE(Get(u"SOFTWARE\\Test", value));
  EXPECT_EQ(value, u"");
}

TEST_F(GetKeyValueTest, KeyNamesGoOutInTheCodePage) {
  WriteValue("sz:x");
  std::u16string value;
  EXPECT_TRUE(Get(u"SOFTWARE\\Größe", value));
  EXPECT_EQ(value, u"umlaut");
  EXPECT_TRUE(Get(u"SOFTWARE\\Ω", value));  // no code for it: sent as '?'
  EXPECT_EQ(value, u"question");
}

TEST_F(GetKeyValueTest, OpensForWritingSoAReadOnlyRegistryFails) {
  WriteValue("sz:x");
  ASSERT_EQ(chmod((dir_ / "registry").c_str(), 0444), 0);
  if (geteuid() == 0) GTEST_SKIP() << "root may write every file";
  std::u16string value = u"old";
  EXPECT_FALSE(Get(u"SOFTWARE\\Test", value));
  EXPECT_EQ(value, u"");
}

}  // namespace
}  // namespace quorel::forms
