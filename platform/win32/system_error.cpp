#include "platform/win32/system_error.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "platform/text.h"
#include "platform/win32/wide.h"

namespace quorel::win32 {

namespace {

std::string SystemText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring message(buffer != nullptr ? buffer : L"", length);
  LocalFree(buffer);
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return text::ToUtf8(FromWide(message));
}

}  // namespace

std::string SystemMessage(unsigned long code) {
  std::string message = SystemText(code);
  return message.empty() ? "Systemfehler " + std::to_string(code) : message;
}

std::string HresultMessage(long code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  const std::string message = SystemText(static_cast<unsigned long>(code));
  return message.empty() ? std::string("Fehler ") + hex : message + " (" + hex + ")";
}

void ThrowLastError(const std::string& what) {
  const DWORD code = GetLastError();
  throw std::runtime_error(what + " (Fehler " + std::to_string(code) + ": " + SystemMessage(code) +
                           ")");
}

void ShowFatalError(std::u16string_view title, std::u16string_view text) noexcept {
  try {
    MessageBoxW(nullptr, ToWide(text).c_str(), ToWide(title).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing is left to tell the user with
  }
}

}  // namespace quorel::win32
