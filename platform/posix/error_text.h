// The German wording of the system's error codes, for the messages of the POSIX platform code
// (settings file, registry file, database file, starting a program). The system's own texts
// follow the locale and are English in most desktop sessions.
#pragma once

#include <string>

namespace quorel::posix {

// The reason an errno value stands for, as a phrase that fits after a colon or into
// parentheses ("keine Berechtigung"); a code without a text of its own gives its number
// ("Systemfehler Nr. 1234").
std::string ErrorText(int error);

}  // namespace quorel::posix
