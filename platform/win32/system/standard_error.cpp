#include "platform/win32/system/standard_error.h"

#include <windows.h>

#include <string>

#include "platform/text.h"
#include "platform/win32/wide.h"

namespace quorel::win32 {

void StandardError::Line(std::u16string_view text) {
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  try {
    const std::u16string line = u"quorel: " + platform::OneLine(text) + u"\r\n";
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
      const std::wstring wide = ToWide(line);
      WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
      return;
    }
    // One write for the whole line, so that nothing else written there cuts into it.
    const std::string bytes = text::ToUtf8(line);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  } catch (...) {  // NOLINT(bugprone-empty-catch): no memory for the line; it is lost
  }
}

}  // namespace quorel::win32
