#include "platform/win32/system/registry_settings_store.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "platform/text.h"
#include "platform/win32/system_error.h"
#include "platform/win32/wide.h"

namespace quorel::win32 {

namespace {

// An open registry key, closed when it goes.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  HKEY* address() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::string Quoted(std::u16string_view text) {
  return "„" + text::ToUtf8(text) + "“";
}

std::string FullKeyName(std::u16string_view app, std::u16string_view section) {
  return "HKEY_CURRENT_USER\\" + text::ToUtf8(RegistrySettingsStore::KeyPath(app, section));
}

// what: the first words of the message, e.g. "Die Einstellung „Firma“ kann nicht".
[[noreturn]] void ThrowError(const std::string& what, std::u16string_view app,
                             std::u16string_view section, LONG status) {
  throw std::runtime_error(what + " (Schlüssel " + FullKeyName(app, section) +
                           "): " + SystemMessage(static_cast<unsigned long>(status)));
}

[[noreturn]] void ThrowSaveError(std::u16string_view app, std::u16string_view section,
                                 std::u16string_view key, LONG status) {
  ThrowError(
      "Die Einstellung " + Quoted(key) + " kann nicht in der Registrierung gespeichert werden", app,
      section, status);
}

[[noreturn]] void ThrowReadError(std::u16string_view app, std::u16string_view section,
                                 std::u16string_view key, LONG status) {
  ThrowError("Die Einstellung " + Quoted(key) + " kann nicht aus der Registrierung gelesen werden",
             app, section, status);
}

// REG_BINARY, or "Typ 42" for a type without a name.
std::string TypeName(DWORD type) {
  static constexpr std::array<std::string_view, 12> kNames = {"REG_NONE",
                                                              "REG_SZ",
                                                              "REG_EXPAND_SZ",
                                                              "REG_BINARY",
                                                              "REG_DWORD",
                                                              "REG_DWORD_BIG_ENDIAN",
                                                              "REG_LINK",
                                                              "REG_MULTI_SZ",
                                                              "REG_RESOURCE_LIST",
                                                              "REG_FULL_RESOURCE_DESCRIPTOR",
                                                              "REG_RESOURCE_REQUIREMENTS_LIST",
                                                              "REG_QWORD"};
  if (type < kNames.size()) return std::string(kNames[type]);
  return "Typ " + std::to_string(type);
}

// A value the store cannot take as text: of another type, or a number of the wrong size.
[[noreturn]] void ThrowTypeError(std::u16string_view app, std::u16string_view section,
                                 std::u16string_view key, DWORD type, DWORD size) {
  std::string kind = TypeName(type);
  if (type == REG_DWORD || type == REG_QWORD)
    kind += ", aber " + std::to_string(size) + " statt " + (type == REG_DWORD ? "4" : "8") +
            " Bytes lang";
  throw std::runtime_error("Die Einstellung " + Quoted(key) + " (Schlüssel " +
                           FullKeyName(app, section) + ") ist vom Typ " + kind +
                           "; lesbar sind Text (REG_SZ, REG_EXPAND_SZ) und Zahlen (REG_DWORD, "
                           "REG_QWORD).");
}

// The number in the first bytes of data, stored little-endian as the registry keeps it.
template <typename Unsigned>
Unsigned Number(const wchar_t* data) {
  Unsigned value = 0;
  std::memcpy(&value, data, sizeof value);
  return value;
}

std::u16string DecimalText(std::uint64_t value) {
  return text::FromUtf8(std::to_string(value));
}

}  // namespace

RegistrySettingsStore::~RegistrySettingsStore() {
  if (held_.empty() || flushFailed_) return;
  try {
    Flush();
  } catch (const std::exception& error) {
    OutputDebugStringW(ToWide(text::FromUtf8(error.what())).c_str());
  }
}

std::u16string RegistrySettingsStore::KeyPath(std::u16string_view app,
                                              std::u16string_view section) {
  return u"Software\\VB and VBA Program Settings\\" + std::u16string(app) + u"\\" +
         std::u16string(section);
}

std::u16string RegistrySettingsStore::GetSetting(std::u16string_view app,
                                                 std::u16string_view section,
                                                 std::u16string_view key,
                                                 std::u16string_view defaultValue) {
  for (const Held& h : held_)
    if (h.app == app && h.section == section && h.key == key) return h.value;

  Key opened;
  LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, ToWide(KeyPath(app, section)).c_str(), 0,
                              KEY_QUERY_VALUE, opened.address());
  if (status == ERROR_FILE_NOT_FOUND) return std::u16string(defaultValue);
  if (status != ERROR_SUCCESS) ThrowReadError(app, section, key, status);

  const std::wstring name = ToWide(key);
  std::wstring data(64, L'\0');
  DWORD type = REG_NONE;
  DWORD size = 0;
  for (;;) {
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    status = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &size);
    if (status != ERROR_MORE_DATA) break;
    data.resize(size / sizeof(wchar_t) + 1);  // an odd size leaves half a character
  }
  if (status == ERROR_FILE_NOT_FOUND) return std::u16string(defaultValue);
  if (status != ERROR_SUCCESS) ThrowReadError(app, section, key, status);
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      // The terminating zero, when the value has one, is not part of the text; a trailing odd
      // byte is no character.
      data.resize(size / sizeof(wchar_t));
      if (!data.empty() && data.back() == L'\0') data.pop_back();
      return FromWide(data);
    case REG_DWORD:
      if (size == sizeof(std::uint32_t)) return DecimalText(Number<std::uint32_t>(data.data()));
      break;
    case REG_QWORD:
      if (size == sizeof(std::uint64_t)) return DecimalText(Number<std::uint64_t>(data.data()));
      break;
    default:
      break;
  }
  ThrowTypeError(app, section, key, type, size);
}

void RegistrySettingsStore::SaveSetting(std::u16string_view app, std::u16string_view section,
                                        std::u16string_view key, std::u16string_view value) {
  flushFailed_ = false;
  for (Held& h : held_)
    if (h.app == app && h.section == section && h.key == key) {
      h.value = value;
      return;
    }
  held_.push_back(
      {std::u16string(app), std::u16string(section), std::u16string(key), std::u16string(value)});
}

void RegistrySettingsStore::Flush() {
  flushFailed_ = true;
  while (!held_.empty()) {
    const std::u16string app = held_.front().app, section = held_.front().section;
    Key opened;
    if (const LONG status = RegCreateKeyExW(
            HKEY_CURRENT_USER, ToWide(KeyPath(app, section)).c_str(), 0, nullptr,
            REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, opened.address(), nullptr);
        status != ERROR_SUCCESS)
      ThrowSaveError(app, section, held_.front().key, status);
    // Every value of this key, then the key to disk.
    for (auto h = held_.begin(); h != held_.end();) {
      if (h->app != app || h->section != section) {
        ++h;
        continue;
      }
      const std::wstring name = ToWide(h->key);
      const std::wstring value = ToWide(h->value);  // with its terminating zero
      const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
      if (const LONG status = RegSetValueExW(opened.get(), name.c_str(), 0, REG_SZ,
                                             reinterpret_cast<const BYTE*>(value.c_str()), bytes);
          status != ERROR_SUCCESS)
        ThrowSaveError(app, section, h->key, status);
      h = held_.erase(h);
    }
    if (const LONG status = RegFlushKey(opened.get()); status != ERROR_SUCCESS)
      ThrowError(
          "Die gespeicherten Einstellungen können nicht auf den Datenträger geschrieben "
          "werden",
          app, section, status);
  }
  flushFailed_ = false;
}

}  // namespace quorel::win32
