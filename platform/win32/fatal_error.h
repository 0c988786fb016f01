// The last word of a program that cannot go on: a message box that needs no window of the
// program and works before, after or without the window backend.
#pragma once

#include <string_view>

namespace quorel::win32 {

// Shows the text with the error icon and an OK button, in front of other programs, and returns
// when the user has confirmed it. Never throws.
void ShowFatalError(std::u16string_view title, std::u16string_view text) noexcept;

}  // namespace quorel::win32
