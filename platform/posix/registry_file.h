// A small file-backed stand-in for the machine registry, answering like the ANSI registry
// functions. The file is UTF-8 text, one value per line under its key:
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Some Key]
//   "Name"=sz:text          text in the code page plus one terminating zero byte (REG_SZ)
//   "Count"=dword:0000002a  four bytes, little-endian (REG_DWORD)
//   "Raw"=hex(3):01,02,ff   raw bytes of the value type in parentheses (hexadecimal)
//   "Bin"=hex:01,02         raw bytes of REG_BINARY
//   @=sz:text               the key's default (unnamed) value
//
// Blank lines and lines starting with ';' are ignored, and so is every malformed line. Key
// paths and value names compare without regard to ASCII case; a key exists when it is named
// in the file or is a parent of one that is. A missing file is an empty registry. A file that
// is there but cannot be read opens no key; why not goes to the diagnostics. The file is read
// on every open, so changes show in keys opened afterwards.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/system.h"

namespace quorel::posix {

class RegistryFile {
 public:
  // diagnostics: where a file that cannot be read is reported, once for each reason; nowhere
  // when null.
  explicit RegistryFile(std::string path, platform::Diagnostics* diagnostics = nullptr);

  // Only HKEY_LOCAL_MACHINE serves as root; a key that is not there is ERROR_FILE_NOT_FOUND.
  // Reading rights (KEY_READ, what the about box asks for) need a readable file and nothing
  // more. A request that includes a right to change the registry (set a value, create a
  // subkey or a link, generic write or all rights) fails with ERROR_ACCESS_DENIED unless this
  // process may also write the file. A file that cannot be read gives ERROR_ACCESS_DENIED when
  // reading it is not allowed, else ERROR_FILE_NOT_FOUND.
  long Open(platform::HKEY root, std::string_view subKey, std::uint32_t options,
            std::uint32_t samDesired, platform::HKEY* result);
  long Query(platform::HKEY key, std::string_view valueName, std::uint32_t* type,
             std::uint8_t* data, std::uint32_t* dataSize);
  long Close(platform::HKEY key);

 private:
  struct Value {
    std::u16string name;
    std::uint32_t type = platform::REG_NONE;
    std::vector<std::uint8_t> data;
  };
  using Values = std::vector<Value>;

  std::string path_;
  platform::Diagnostics* diagnostics_;
  std::string lastReported_;  // the reason last reported, so that each is reported once
  std::map<platform::HKEY, Values> open_;
  platform::HKEY nextHandle_ = 1;
};

}  // namespace quorel::posix
