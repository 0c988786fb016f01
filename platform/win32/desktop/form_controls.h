// What the parts of the backend share about the controls of a form.
#pragma once

#include <string>

#include "platform/form.h"
#include "platform/win32/win32_api.h"

namespace quorel::win32 {

using platform::IsButton;
std::wstring WindowText(HWND hwnd);

}  // namespace quorel::win32
