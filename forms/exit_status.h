// How the program ends, as its exit status.
#pragma once

namespace quorel::forms {

inline constexpr int kExitNormal = 0;        // "&Beenden" or the main window's close box
inline constexpr int kExitRefused = 1;       // the login was refused
inline constexpr int kExitNoConnection = 2;  // the server could not be reached
inline constexpr int kExitFailure = 3;       // any other failure

}  // namespace quorel::forms
