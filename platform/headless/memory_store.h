// A settings store in memory: what a test puts in, the program reads; what the program saves is
// kept in the order it was written.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/settings_store.h"

namespace quorel::platform::headless {

class MemoryStore final : public platform::SettingsStore {
 public:
  struct Write {
    std::u16string app, section, key, value;
    bool operator==(const Write&) const = default;
  };

  std::u16string GetSetting(std::u16string_view app, std::u16string_view section,
                            std::u16string_view key, std::u16string_view defaultValue) override {
    auto it = values_.find({std::u16string(app), std::u16string(section), std::u16string(key)});
    return it == values_.end() ? std::u16string(defaultValue) : it->second;
  }
  void SaveSetting(std::u16string_view app, std::u16string_view section, std::u16string_view key,
                   std::u16string_view value) override {
    values_[{std::u16string(app), std::u16string(section), std::u16string(key)}] = value;
    writes_.push_back(
        {std::u16string(app), std::u16string(section), std::u16string(key), std::u16string(value)});
  }
  void Flush() override { ++flushes_; }

  void Put(std::u16string_view key, std::u16string_view value) {
    values_[{u"Cache Login", u"Login", std::u16string(key)}] = value;
  }
  const std::vector<Write>& Writes() const { return writes_; }
  int Flushes() const { return flushes_; }

 private:
  std::map<std::tuple<std::u16string, std::u16string, std::u16string>, std::u16string> values_;
  std::vector<Write> writes_;
  int flushes_ = 0;
};

}  // namespace quorel::platform::headless
