#include "platform/win32/system/win32_system.h"

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/system_error.h"
#include "platform/win32/wide.h"

namespace quorel::win32 {

namespace {

struct ModuleVersion {
  std::u16string productName;
  platform::Version version;
};

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

ModuleVersion ReadModuleVersion() {
  const std::wstring path = ModulePath();
  ModuleVersion result;
  const auto slash = path.find_last_of(L"\\/");
  std::wstring name = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
  if (const auto dot = name.rfind(L'.'); dot != std::wstring::npos) name.resize(dot);
  result.productName = FromWide(name);

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return result;
  std::vector<std::byte> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return result;

  void* fixed = nullptr;
  UINT fixedSize = 0;
  if (VerQueryValueW(block.data(), L"\\", &fixed, &fixedSize) &&
      fixedSize >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    result.version = {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                      HIWORD(info->dwFileVersionLS)};
  }
  struct Translation {
    WORD language, codePage;
  };
  void* translations = nullptr;
  UINT translationsSize = 0;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translations,
                     &translationsSize) &&
      translationsSize >= sizeof(Translation)) {
    const auto* t = static_cast<const Translation*>(translations);
    wchar_t query[64];
    swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\ProductName", t->language, t->codePage);
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), query, &value, &length) && length > 1)
      result.productName =
          FromWide(std::wstring_view(static_cast<const wchar_t*>(value), length - 1));
  }
  return result;
}

const ModuleVersion& ThisModule() {
  static const ModuleVersion version = ReadModuleVersion();
  return version;
}

}  // namespace

Win32System::Win32System(std::u16string commandLine) : commandLine_(std::move(commandLine)) {}

Win32System::~Win32System() {
  for (const auto& [handle, key] : keys_)
    ::RegCloseKey(static_cast<::HKEY>(key));
}

std::u16string Win32System::CommandLine() {
  return commandLine_;
}

std::u16string Win32System::AppTitle() {
  return ThisModule().productName;
}

platform::Version Win32System::AppVersion() {
  return ThisModule().version;
}

long Win32System::RegOpenKeyExA(platform::HKEY root, std::string_view subKey, std::uint32_t options,
                                std::uint32_t samDesired, platform::HKEY* result) {
  ::HKEY parent = nullptr;
  if (const auto open = keys_.find(root); open != keys_.end()) {
    parent = static_cast<::HKEY>(open->second);
  } else if (root >= 0x80000000u) {
    // The predefined roots are the sign-extended 32-bit values.
    parent = reinterpret_cast<::HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
  } else {
    return ERROR_INVALID_HANDLE;
  }
  const std::string path(subKey);  // the functions want a terminating zero
  ::HKEY key = nullptr;
  const LONG status = ::RegOpenKeyExA(parent, path.c_str(), options, samDesired, &key);
  if (status != ERROR_SUCCESS) return status;
  const platform::HKEY handle = nextKey_++;
  keys_.emplace(handle, key);
  *result = handle;
  return ERROR_SUCCESS;
}

long Win32System::RegQueryValueExA(platform::HKEY key, std::string_view valueName,
                                   std::uint32_t* type, std::uint8_t* data,
                                   std::uint32_t* dataSize) {
  const auto open = keys_.find(key);
  if (open == keys_.end()) return ERROR_INVALID_HANDLE;
  const std::string name(valueName);
  DWORD valueType = 0;
  DWORD size = dataSize != nullptr ? *dataSize : 0;
  const LONG status = ::RegQueryValueExA(static_cast<::HKEY>(open->second), name.c_str(), nullptr,
                                         &valueType, data, dataSize != nullptr ? &size : nullptr);
  if (type != nullptr) *type = valueType;
  if (dataSize != nullptr) *dataSize = size;
  return status;
}

long Win32System::RegCloseKey(platform::HKEY key) {
  const auto open = keys_.find(key);
  if (open == keys_.end()) return ERROR_INVALID_HANDLE;
  const LONG status = ::RegCloseKey(static_cast<::HKEY>(open->second));
  keys_.erase(open);
  return status;
}

bool Win32System::FileExists(std::u16string_view path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  constexpr DWORD kNotOrdinary =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  return (attributes & kNotOrdinary) == 0;
}

void Win32System::StartProcess(std::u16string_view path) {
  const auto fail = [&](const std::string& reason) {
    throw std::runtime_error("Das Programm \"" + text::ToUtf8(path) +
                             "\" kann nicht gestartet werden: " + reason);
  };
  if (path.empty()) fail("kein Programm angegeben");
  // The path alone, quoted so that blanks in it do not split it; the system searches for it
  // as it does for a command typed without a folder.
  std::wstring commandLine = L"\"" + ToWide(path) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    fail(SystemMessage(GetLastError()));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace quorel::win32
