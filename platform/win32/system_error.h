// The errors of the Windows platform: the system's own words for an error code and an
// HRESULT, the exception of a failed system call, and the last word of a program that cannot
// go on.
#pragma once

#include <string>
#include <string_view>

namespace quorel::win32 {

// The text of a Win32 error code in the user's language, UTF-8, without the trailing line
// break; "Systemfehler N" for a code the system has no text for.
std::string SystemMessage(unsigned long code);

// The text of an HRESULT followed by its code, "… (0x80004002)"; "Fehler 0x80004002" for a
// code the system has no text for.
std::string HresultMessage(long code);

// Throws std::runtime_error with what failed and the system's text for GetLastError().
[[noreturn]] void ThrowLastError(const std::string& what);

// Shows the text with the error icon and an OK button, in front of other programs, and returns
// when the user has confirmed it. Needs no window of the program and works before, after or
// without the window backend. Never throws.
void ShowFatalError(std::u16string_view title, std::u16string_view text) noexcept;

}  // namespace quorel::win32
