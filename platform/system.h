// What the program needs of its operating system beyond windows: the command line, its own
// title and version, the machine registry, file lookup and starting another program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorel::platform {

struct Version {
  int major = 0, minor = 0, revision = 0;
};

// Registry constants with their system values.
using HKEY = std::uint32_t;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_ACCESS_DENIED = 5;
inline constexpr long ERROR_INVALID_HANDLE = 6;
inline constexpr long ERROR_MORE_DATA = 234;
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
// Access rights.
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr std::uint32_t KEY_CREATE_LINK = 0x0020;
inline constexpr std::uint32_t KEY_READ = 0x20019;

class System {
 public:
  virtual ~System() = default;

  // Everything after the program name, as one text.
  virtual std::u16string CommandLine() = 0;
  virtual std::u16string AppTitle() = 0;
  virtual Version AppVersion() = 0;

  // The registry in the shape of the ANSI functions: key paths, value names and data are bytes
  // of the single-byte code page; each returns ERROR_SUCCESS or an error code.
  virtual long RegOpenKeyExA(HKEY root, std::string_view subKey, std::uint32_t options,
                             std::uint32_t samDesired, HKEY* result) = 0;
  virtual long RegQueryValueExA(HKEY key, std::string_view valueName, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* dataSize) = 0;
  virtual long RegCloseKey(HKEY key) = 0;

  // Whether an ordinary file (not hidden, not a system file) of that name exists.
  virtual bool FileExists(std::u16string_view path) = 0;
  // Starts the program as a new process with a normal, focused window, without waiting for it.
  // Throws std::runtime_error when it cannot be started.
  virtual void StartProcess(std::u16string_view path) = 0;
};

}  // namespace quorel::platform
