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
// in the file or is a parent of one that is. A missing file is an empty registry. The file is
// read on every open, so changes show in keys opened afterwards.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"

namespace quorel::posix {

class RegistryFile {
 public:
  explicit RegistryFile(std::string path);

  // Only HKEY_LOCAL_MACHINE serves as root. Opening for any write right fails with
  // ERROR_ACCESS_DENIED unless this process may write the file.
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
  std::map<platform::HKEY, Values> open_;
  platform::HKEY nextHandle_ = 1;
};

}  // namespace quorel::posix
