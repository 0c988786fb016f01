// The window classes of the backend's windows.
#pragma once

#include "platform/win32/win32_api.h"

namespace quorel::win32 {

inline constexpr const wchar_t* kFormClass = L"QuorelForm";
inline constexpr const wchar_t* kPictureClass = L"QuorelPicture";

// Registers the classes once per process; the common controls (links included) with them.
void RegisterWindowClasses(WNDPROC form, WNDPROC picture);

}  // namespace quorel::win32
