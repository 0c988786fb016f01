// Windows' wide characters are the program's 16-bit text units.
#pragma once

#include <string>
#include <string_view>

namespace quorel::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are 16 bits");

inline std::wstring ToWide(std::u16string_view text) {
  return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

inline std::u16string FromWide(std::wstring_view text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

}  // namespace quorel::win32
