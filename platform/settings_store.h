// The per-user persistent settings store: text values addressed by application, section and key.
#pragma once

#include <string>
#include <string_view>

namespace quorel::platform {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, or defaultValue when the key is absent (a key stored empty reads as empty).
  virtual std::u16string GetSetting(std::u16string_view app, std::u16string_view section,
                                    std::u16string_view key, std::u16string_view defaultValue) = 0;
  virtual void SaveSetting(std::u16string_view app, std::u16string_view section,
                           std::u16string_view key, std::u16string_view value) = 0;
  // Makes what was saved durable. Errors are thrown, never swallowed.
  virtual void Flush() {}
};

}  // namespace quorel::platform
