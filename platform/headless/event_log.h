// An ordered record of what the program did (windows, message boxes, pointer, timers, server
// calls), one readable line per entry, for tests to assert on.
#pragma once

#include <string>
#include <vector>

namespace quorel::platform::headless {

class EventLog {
 public:
  void Add(std::string entry) { entries_.push_back(std::move(entry)); }
  const std::vector<std::string>& Entries() const { return entries_; }
  void Clear() { entries_.clear(); }
  // Entries that start with prefix, in order.
  std::vector<std::string> Starting(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const auto& e : entries_)
      if (e.starts_with(prefix)) out.push_back(e);
    return out;
  }
  // The position of the first entry equal to entry, or -1.
  int IndexOf(std::string_view entry) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i] == entry) return static_cast<int>(i);
    return -1;
  }

 private:
  std::vector<std::string> entries_;
};

}  // namespace quorel::platform::headless
