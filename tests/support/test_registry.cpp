#include "support/test_registry.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace quorel::testing {

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

TestRegistry::TestRegistry() {
  Write();
}

TestRegistry::~TestRegistry() {
#ifdef _WIN32
  Clear();
#endif
}

void TestRegistry::Set(std::string_view key, std::string_view name, std::uint32_t type,
                       const std::vector<std::uint8_t>& data) {
  entries_.push_back({std::string(key), std::string(name), type, data});
  Write();
}

void TestRegistry::SetText(std::string_view key, std::string_view name, std::string_view text) {
  auto data = Bytes(text);
  data.push_back(0);
  Set(key, name, 1, data);
}

#ifdef _WIN32

void TestRegistry::Write() {
  if (entries_.empty()) return;
  const Entry& e = entries_.back();
  // Remember the top-most key this registry creates, so that Clear removes all of it.
  std::string path;
  for (std::size_t start = 0; start <= e.key.size();) {
    auto end = e.key.find('\\', start);
    if (end == std::string::npos) end = e.key.size();
    path = e.key.substr(0, end);
    HKEY probe = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &probe) == ERROR_SUCCESS) {
      RegCloseKey(probe);
    } else {
      createdKeys_.push_back(path);
      break;
    }
    start = end + 1;
  }
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, e.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create registry key " + e.key);
  // RegSetValueExA reads the byte after the data and counts a zero there as a terminator of a
  // text: a guard byte that is none keeps the size exact.
  std::vector<std::uint8_t> guarded = e.data;
  guarded.push_back(0xFF);
  const LONG status = RegSetValueExA(key, e.name.c_str(), 0, e.type, guarded.data(),
                                     static_cast<DWORD>(e.data.size()));
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) throw std::runtime_error("cannot set registry value " + e.name);
}

void TestRegistry::Clear() {
  for (const auto& e : entries_) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, e.key.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, e.name.c_str());
      RegCloseKey(key);
    }
  }
  for (const auto& key : createdKeys_)
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
  entries_.clear();
  createdKeys_.clear();
}

#else

void TestRegistry::Write() {
  chmod(File().c_str(), 0644);  // writable again after MakeReadOnly
  std::ofstream file(File(), std::ios::trunc);
  for (const auto& e : entries_) {
    file << "[HKEY_LOCAL_MACHINE\\" << text::ToUtf8(text::FromCodePage(e.key)) << "]\n\""
         << text::ToUtf8(text::FromCodePage(e.name)) << "\"=hex(" << std::hex << e.type << "):";
    for (std::size_t i = 0; i < e.data.size(); ++i) {
      char byte[4];
      std::snprintf(byte, sizeof byte, "%02x", e.data[i]);
      file << (i ? "," : "") << byte;
    }
    file << std::dec << "\n";
  }
  if (!file) throw std::runtime_error("cannot write " + File());
}

void TestRegistry::Clear() {
  entries_.clear();
  Write();
}

void TestRegistry::MakeReadOnly() {
  if (chmod(File().c_str(), 0444) != 0)
    throw std::runtime_error("cannot make " + File() + " read-only");
}

#endif

}  // namespace quorel::testing
