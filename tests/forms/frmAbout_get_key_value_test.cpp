#include <gtest/gtest.h>

#include <stdexcept>

#include "forms/frmAbout.h"
#include "platform/desktop/form_desktop.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/diagnostics_log.h"
#include "support/test_registry.h"
#include "support/test_system.h"
#ifndef _WIN32
#include "support/unprivileged_user.h"
#endif

namespace quorel::forms {
namespace {

using platform::HKEY_LOCAL_MACHINE;
using platform::REG_BINARY;
using platform::REG_DWORD;
using platform::REG_EXPAND_SZ;
using platform::REG_SZ;
using testing::Bytes;

class GetKeyValueTest : public ::testing::Test {
 protected:
  // A registry holding one value "V" under SOFTWARE\QuorelTest, and two keys whose names
  // are not plain ASCII.
  void WriteValue(std::uint32_t type, const std::vector<std::uint8_t>& data) {
    registry_.Clear();
    registry_.Set("SOFTWARE\\QuorelTest", "V", type, data);
    registry_.SetText(
        "SOFTWARE\\QuorelTest\\Gr\xF6\xDF"
        "e",
        "V", "umlaut");
    registry_.SetText("SOFTWARE\\QuorelTest\\?", "V", "question");
  }

  bool Get(std::u16string_view key, std::u16string& value) {
    return about_.GetKeyValue(HKEY_LOCAL_MACHINE, key, u"V", value);
  }
  // Reading the registry touches no window.
  void TearDown() override { EXPECT_EQ(log_.Entries(), std::vector<std::string>{}); }

  testing::TestRegistry registry_;
  testing::TestSystem system_{u"", registry_.File()};
  platform::headless::EventLog log_;
  platform::headless::VirtualClock clock_;
  platform::headless::HeadlessBackend screen_{clock_, log_};
  platform::desktop::FormDesktop desktop_{screen_, u"Quorel"};
  platform::headless::DiagnosticsLog diagnostics_{log_};
  frmAbout about_{desktop_, system_, diagnostics_};
};

TEST_F(GetKeyValueTest, ConvertsByTypeAndSize) {
  const std::u16string a1023(1023, u'A'), a1024(1024, u'A');
  const std::string zero(1, '\0');
  const struct {
    std::uint32_t type;
    std::string data;
    std::u16string passedIn;
    bool found;
    std::u16string result;
  } cases[] = {
      {REG_SZ, "C:\\Tools\\tool.exe" + zero, u"old", true, u"C:\\Tools\\tool.exe"},
      {REG_SZ, "AB", u"", true, u"AB"},  // no terminator: kept whole
      {REG_SZ, "A" + zero + "B", u"", true,
       std::u16string(u"A\0B", 3)},  // only the last byte counts
      {REG_SZ, zero, u"old", true, u""},
      {REG_SZ, "\xE4", u"", true, u"ä"},
      {REG_SZ, std::string(1023, 'A') + zero, u"", true, a1023},    // 1024 bytes with terminator
      {REG_SZ, std::string(1024, 'A') + zero, u"old", false, u""},  // 1025 bytes do not fit
      {REG_SZ, std::string(1024, 'A'), u"", true, a1024},           // 1024 bytes, no terminator
      {REG_DWORD, std::string("\x2a\0\0\0", 4), u"", true, u"&h002A"},  // the last zero goes
      {REG_DWORD, "\x78\x56\x34\x12", u"", true, u"&h12345678"},
      {REG_DWORD, std::string("\0\x01\0\0", 4), u"", true, u"&h010"},
      {REG_DWORD, std::string("\x0a\xff\0\0", 4), u"x", true,
       u"&hx0FFA"},  // appended to the text passed in
      {REG_BINARY, "\x01\x02", u"keep", true, u"keep"},
      {REG_EXPAND_SZ, "A" + zero, u"keep", true, u"keep"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.data.substr(0, 40)) + " (" +
                 std::to_string(c.data.size()) + " bytes)");
    WriteValue(c.type, Bytes(c.data));
    std::u16string value = c.passedIn;
    EXPECT_EQ(Get(u"SOFTWARE\\QuorelTest", value), c.found);
    EXPECT_EQ(value, c.result);
  }
}

TEST_F(GetKeyValueTest, EmptyValueIsAnError) {
  WriteValue(REG_SZ, {});
  std::u16string value;
  EXPECT_THROW(Get(u"SOFTWARE\\QuorelTest", value), std::runtime_error);
}

TEST_F(GetKeyValueTest, MissingKeyOrValueClearsTheText) {
  WriteValue(REG_SZ, Bytes("x"));
  std::u16string value = u"old";
  EXPECT_FALSE(Get(u"SOFTWARE\\QuorelMissing", value));
  EXPECT_EQ(value, u"");
  registry_.Clear();
  value = u"old";
  EXPECT_FALSE(Get(u"SOFTWARE\\QuorelTest", value));
  EXPECT_EQ(value, u"");
}

TEST_F(GetKeyValueTest, KeyNamesGoOutInTheCodePage) {
  WriteValue(REG_SZ, Bytes("x"));
  std::u16string value;
  EXPECT_TRUE(Get(u"SOFTWARE\\QuorelTest\\Größe", value));
  EXPECT_EQ(value, u"umlaut");
  EXPECT_TRUE(Get(u"SOFTWARE\\QuorelTest\\Ω", value));  // no code for it: sent as '?'
  EXPECT_EQ(value, u"question");
}

#ifndef _WIN32  // Wine, which runs the Windows tests, grants every user every right on every key
TEST_F(GetKeyValueTest, ReadsARegistryThisUserMayNotWrite) {
  if (testing::RunsAsRoot()) return testing::RerunAsUnprivilegedUser();
  WriteValue(REG_SZ, Bytes(std::string("C:\\Tools\\tool.exe") + '\0'));
  registry_.MakeReadOnly();
  std::u16string value = u"old";
  EXPECT_TRUE(Get(u"SOFTWARE\\QuorelTest", value));
  EXPECT_EQ(value, u"C:\\Tools\\tool.exe");
}
#endif

}  // namespace
}  // namespace quorel::forms
