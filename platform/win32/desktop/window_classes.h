// The window classes of the backend's windows, and the error of a failed system call.
#pragma once

#include <string>

#include "platform/win32/win32_api.h"

namespace quorel::win32 {

inline constexpr const wchar_t* kFormClass = L"QuorelForm";
inline constexpr const wchar_t* kPictureClass = L"QuorelPicture";

// Registers the classes once per process; the common controls (links included) with them.
void RegisterWindowClasses(WNDPROC form, WNDPROC picture);

// Throws std::runtime_error with what failed and the system's text for GetLastError().
[[noreturn]] void ThrowLastError(const std::string& what);

}  // namespace quorel::win32
