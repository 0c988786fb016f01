#include "platform/win32/system_message.h"

#include <windows.h>

#include <cstdio>

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

}  // namespace quorel::win32
