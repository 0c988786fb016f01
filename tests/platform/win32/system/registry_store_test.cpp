// The registry settings store on the registry of the test prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <vector>

#include "platform/text.h"
#include "platform/win32/system/registry_settings_store.h"
#include "platform/win32/system_error.h"
#include "platform/win32/wide.h"
#include "support/store_texts.h"

namespace quorel::win32 {
namespace {

using quorel::testing::kKeys;
using quorel::testing::kSection;
using quorel::testing::SetValue;

constexpr std::u16string_view kAbsent = u"<fehlt>";

// The settings of one application, removed before and after the test.
class RegistryStoreTest : public ::testing::Test {
 protected:
  explicit RegistryStoreTest(std::u16string app = u"Quorel Test")
      : app_(std::move(app)), appKey_(ToWide(u"Software\\VB and VBA Program Settings\\" + app_)) {
    RegDeleteTreeW(HKEY_CURRENT_USER, appKey_.c_str());
  }
  ~RegistryStoreTest() override { RegDeleteTreeW(HKEY_CURRENT_USER, appKey_.c_str()); }

  std::wstring SectionKey() const { return ToWide(RegistrySettingsStore::KeyPath(app_, kSection)); }
  // Read back through a store that has never seen the values.
  std::u16string ReadFresh(std::u16string_view key, std::u16string_view section = kSection) {
    return RegistrySettingsStore().GetSetting(app_, section, key, kAbsent);
  }

  std::u16string app_;
  std::wstring appKey_;
};

TEST_F(RegistryStoreTest, EveryTextReadsBackExactly) {
  const std::vector<std::u16string> hostile = quorel::testing::HostileTexts();
  {
    RegistrySettingsStore store;
    for (std::size_t i = 0; i < hostile.size(); ++i)
      store.SaveSetting(app_, kSection, u"K" + text::FromUtf8(std::to_string(i)), hostile[i]);
    store.Flush();
  }
  for (std::size_t i = 0; i < hostile.size(); ++i) {
    SCOPED_TRACE("text " + std::to_string(i) + ": " + text::ToUtf8(hostile[i]));
    EXPECT_EQ(ReadFresh(u"K" + text::FromUtf8(std::to_string(i))), hostile[i]);
  }
}

TEST_F(RegistryStoreTest, ValuesWrittenByOthersReadAsTheirTextOrNumber) {
  struct Case {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
    std::u16string expected;
  };
  const auto bytesOf = [](std::wstring_view text, std::size_t extra = 0) {
    const auto* data = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(data, data + text.size() * sizeof(wchar_t) + extra);
  };
  const std::wstring longText(3000, L'ä');
  const std::vector<Case> cases = {
      {L"Leer", REG_SZ, bytesOf(std::wstring(1, L'\0')), u""},
      {L"LeerOhneNull", REG_SZ, {}, u""},
      {L"OhneNull", REG_SZ, bytesOf(L"Müller"), u"Müller"},
      {L"UngeradeLaenge", REG_SZ, bytesOf(std::wstring_view(L"abc\0", 4), 1), u"abc"},
      {L"LangOhneNull", REG_SZ, bytesOf(longText), std::u16string(3000, u'ä')},
      {L"Erweiterbar", REG_EXPAND_SZ, bytesOf(std::wstring_view(L"%TEMP%\0", 7)), u"%TEMP%"},
      {L"Port", REG_DWORD, {0xB5, 0x07, 0, 0}, u"1973"},
      {L"Null", REG_DWORD, {0, 0, 0, 0}, u"0"},
      {L"Groesste", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, u"4294967295"},
      {L"Lang", REG_QWORD, {0, 0, 0, 0, 0, 1, 0, 0}, u"1099511627776"},
      {L"LangGroesste", REG_QWORD, std::vector<BYTE>(8, 0xFF), u"18446744073709551615"},
  };
  for (const auto& c : cases)
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, SectionKey().c_str(), c.name, c.type,
                              c.bytes.data(), static_cast<DWORD>(c.bytes.size())),
              ERROR_SUCCESS);
  for (const auto& c : cases) {
    SCOPED_TRACE(text::ToUtf8(FromWide(c.name)));
    EXPECT_EQ(ReadFresh(FromWide(c.name)), c.expected);
  }
  EXPECT_EQ(ReadFresh(u"Fehlt"), kAbsent);
  EXPECT_EQ(ReadFresh(u"Leer", u"Anderer Abschnitt"), kAbsent);
  EXPECT_EQ(RegistrySettingsStore().GetSetting(u"Quorel Nirgends", kSection, u"Leer", u"d"), u"d");
}

TEST_F(RegistryStoreTest, AValueOfAnotherTypeNamesTheSettingTheKeyAndTheType) {
  struct Case {
    DWORD type;
    std::vector<BYTE> bytes;
    std::string kind;
  };
  const std::vector<Case> cases = {
      {REG_BINARY, {'1', 0, '9', 0}, "vom Typ REG_BINARY;"},
      {REG_NONE, {}, "vom Typ REG_NONE;"},
      {REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}, "vom Typ REG_MULTI_SZ;"},
      {REG_DWORD_BIG_ENDIAN, {0, 0, 0x07, 0xB5}, "vom Typ REG_DWORD_BIG_ENDIAN;"},
      {REG_DWORD, {0xB5, 0x07}, "vom Typ REG_DWORD, aber 2 statt 4 Bytes lang;"},
      {REG_QWORD, {0xB5, 0x07, 0, 0}, "vom Typ REG_QWORD, aber 4 statt 8 Bytes lang;"},
      {42, {1}, "vom Typ Typ 42;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, SectionKey().c_str(), L"Port", c.type,
                              c.bytes.data(), static_cast<DWORD>(c.bytes.size())),
              ERROR_SUCCESS);
    try {
      ReadFresh(u"Port");
      ADD_FAILURE() << "read without an error";
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      for (const std::string& part :
           {std::string("Die Einstellung „Port“ (Schlüssel HKEY_CURRENT_USER\\Software\\VB and "
                        "VBA Program Settings\\Quorel Test\\Login) ist ") +
                c.kind,
            std::string("Text (REG_SZ, REG_EXPAND_SZ) und Zahlen (REG_DWORD, REG_QWORD)")})
        EXPECT_NE(what.find(part), std::string::npos) << what << "\nlacks: " << part;
    }
  }
}

class CacheLoginStoreTest : public RegistryStoreTest {
 protected:
  CacheLoginStoreTest() : RegistryStoreTest(std::u16string(quorel::testing::kApp)) {}
};

TEST_F(CacheLoginStoreTest, SavesAreHeldUntilFlushWritesThemAsRegistryTexts) {
  RegistrySettingsStore store;
  for (const auto key : kKeys)
    store.SaveSetting(app_, kSection, key, SetValue(key, u"alt"));
  store.SaveSetting(app_, kSection, u"Firma", u"neu");
  for (const auto key : kKeys)
    if (key != u"Firma") store.SaveSetting(app_, kSection, key, SetValue(key, u"neu"));
  EXPECT_EQ(store.GetSetting(app_, kSection, u"Name", kAbsent), SetValue(u"Name", u"neu"));
  EXPECT_EQ(ReadFresh(u"Firma"), kAbsent);  // nothing written before Flush

  store.Flush();
  RegistrySettingsStore fresh;
  EXPECT_EQ(quorel::testing::CompleteSetTag(fresh), u"neu");
  // One REG_SZ value per key, with its terminating zero, where other programs look for it.
  wchar_t data[64] = {};
  DWORD type = 0, size = sizeof data;
  ASSERT_EQ(
      RegGetValueW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Cache Login\\Login",
                   L"Firma", RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size),
      ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 4 * sizeof(wchar_t));
  EXPECT_EQ(std::wstring(data), L"neu");
}

TEST_F(RegistryStoreTest, AFailedWriteNamesTheSettingTheKeyAndTheReasonAndKeepsTheValues) {
  // A volatile key above the section: the system refuses to create a lasting key below it.
  // Its parent must exist as a lasting key first, or it would be created volatile as well and
  // block every other application's settings.
  HKEY parent = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings", 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &parent, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(parent);
  HKEY blocking = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, appKey_.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &blocking, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(blocking);
  RegistrySettingsStore store;
  for (const auto key : kKeys)
    store.SaveSetting(app_, kSection, key, SetValue(key, u"eins"));
  try {
    store.Flush();
    ADD_FAILURE() << "written below a volatile key";
  } catch (const std::runtime_error& e) {
    const std::string what = e.what();
    for (const std::string& part :
         {std::string("Die Einstellung „Firma“ kann nicht in der Registrierung gespeichert "
                      "werden"),
          std::string("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Quorel "
                      "Test\\Login"),
          SystemMessage(ERROR_CHILD_MUST_BE_VOLATILE)})
      EXPECT_NE(what.find(part), std::string::npos) << what << "\nlacks: " << part;
  }
  EXPECT_EQ(store.GetSetting(app_, kSection, u"Port", kAbsent), SetValue(u"Port", u"eins"));

  // Once the cause is gone, the next Flush writes what was held.
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, appKey_.c_str()), ERROR_SUCCESS);
  store.Flush();
  for (const auto key : kKeys)
    EXPECT_EQ(ReadFresh(key), SetValue(key, u"eins"));
}

}  // namespace
}  // namespace quorel::win32
