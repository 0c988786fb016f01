// The operating system as the program sees it on Windows: the command line of the process,
// title and version from the program's version resource, the machine registry through the
// ANSI registry functions, file lookup and process start.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace quorel::win32 {

class Win32System : public platform::System {
 public:
  // commandLine: the argument text (see ArgumentText).
  explicit Win32System(std::u16string commandLine);
  Win32System(const Win32System&) = delete;
  Win32System& operator=(const Win32System&) = delete;
  ~Win32System() override;

  std::u16string CommandLine() override;
  // The product name and file version of the running program's version resource; without
  // one, the program file's name and 0.0.0.
  std::u16string AppTitle() override;
  platform::Version AppVersion() override;

  // The real registry functions. Handles are small numbers standing for the opened keys.
  long RegOpenKeyExA(platform::HKEY root, std::string_view subKey, std::uint32_t options,
                     std::uint32_t samDesired, platform::HKEY* result) override;
  long RegQueryValueExA(platform::HKEY key, std::string_view valueName, std::uint32_t* type,
                        std::uint8_t* data, std::uint32_t* dataSize) override;
  long RegCloseKey(platform::HKEY key) override;

  // An ordinary file: neither a folder nor hidden nor a system file.
  bool FileExists(std::u16string_view path) override;
  // Starts the program with a normal, focused window and does not wait for it.
  void StartProcess(std::u16string_view path) override;

 private:
  std::u16string commandLine_;
  std::map<platform::HKEY, void*> keys_;  // open keys by handle
  platform::HKEY nextKey_ = 1;
};

}  // namespace quorel::win32
