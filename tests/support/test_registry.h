// Values of the machine registry for one test, under HKEY_LOCAL_MACHINE, as the program reads
// them through its System: on Windows the real registry of the test prefix, on POSIX the
// registry stand-in file. What a test writes is removed when it is done.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"

namespace quorel::testing {

class TestRegistry {
 public:
  TestRegistry();
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;
  ~TestRegistry();

  // A value with its type and raw data. key: the path below HKEY_LOCAL_MACHINE; key and name
  // are bytes of the single-byte code page, as the ANSI registry functions take them.
  void Set(std::string_view key, std::string_view name, std::uint32_t type,
           const std::vector<std::uint8_t>& data);
  // A REG_SZ value of the text with its terminating zero.
  void SetText(std::string_view key, std::string_view name, std::string_view text);
  // Removes every value and key this registry wrote.
  void Clear();

  // The stand-in file for PosixSystem (not used on Windows).
  std::string File() const { return (dir_ / "registry").string(); }
#ifndef _WIN32
  // Takes the right to write the file from everyone but root.
  void MakeReadOnly();
#endif

 private:
  struct Entry {
    std::string key, name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  void Write();

  TempDir dir_{"quorel-registry"};
  std::vector<Entry> entries_;
  std::vector<std::string> createdKeys_;  // Windows: top-most keys this registry created
};

// Bytes of a text, without terminator.
std::vector<std::uint8_t> Bytes(std::string_view text);

}  // namespace quorel::testing
