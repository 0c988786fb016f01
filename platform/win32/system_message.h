// The system's own words for an error code.
#pragma once

#include <string>

namespace quorel::win32 {

// The text of a Win32 error code in the user's language, UTF-8, without the trailing line
// break; "Systemfehler N" for a code the system has no text for.
std::string SystemMessage(unsigned long code);

// The text of an HRESULT followed by its code, "… (0x80004002)"; "Fehler 0x80004002" for a
// code the system has no text for.
std::string HresultMessage(long code);

}  // namespace quorel::win32
