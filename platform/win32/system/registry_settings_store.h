// The settings store of the Windows program, in the current user's registry area of classic
// per-user application settings.
//
// - It implements platform::SettingsStore on HKEY_CURRENT_USER\Software\VB and VBA Program
//   Settings\<application>\<section>, one REG_SZ value per key.
// - Only an absent value (or key) reads as the default. A text value (REG_SZ, REG_EXPAND_SZ)
//   reads as its text: an empty one empty, one without a terminating zero whole, an expandable
//   one unexpanded, as it was written. A number (REG_DWORD, REG_QWORD), as an administrator's
//   registry script may write the port, reads as its decimal text. Any other type (binary,
//   lists of texts, ...) and a number of the wrong size throw std::runtime_error with a German
//   message naming the setting, the key and the type. Every text round-trips, NUL characters
//   included.
// - Saves are held: SaveSetting only records the value (GetSetting sees it at once), and Flush
//   writes everything held, key by key in the order first saved, and flushes the registry keys
//   to disk.
// - A failed write throws std::runtime_error with a German message naming the setting, the
//   registry key and the system's reason; what was not written stays held for the next Flush.
//   Unlike the INI files of the Qt build, a Flush is not all or nothing: what it wrote before
//   the failure stays written.
// - The destructor writes what is still held unless the last Flush failed and nothing was saved
//   since; a failure there goes to the debugger's output only. Reading fails when the
//   registry does (anything but an absent key or value) or the value is of a type above.
//
// Limits: not for use from several threads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_store.h"

namespace quorel::win32 {

class RegistrySettingsStore : public platform::SettingsStore {
 public:
  RegistrySettingsStore() = default;
  ~RegistrySettingsStore() override;
  RegistrySettingsStore(const RegistrySettingsStore&) = delete;
  RegistrySettingsStore& operator=(const RegistrySettingsStore&) = delete;

  std::u16string GetSetting(std::u16string_view app, std::u16string_view section,
                            std::u16string_view key, std::u16string_view defaultValue) override;
  void SaveSetting(std::u16string_view app, std::u16string_view section, std::u16string_view key,
                   std::u16string_view value) override;
  void Flush() override;

  // "Software\VB and VBA Program Settings\<app>\<section>", below HKEY_CURRENT_USER.
  static std::u16string KeyPath(std::u16string_view app, std::u16string_view section);

 private:
  struct Held {
    std::u16string app, section, key, value;
  };

  std::vector<Held> held_;    // in the order first saved, each key once
  bool flushFailed_ = false;  // the last Flush threw, and nothing was saved since
};

}  // namespace quorel::win32
