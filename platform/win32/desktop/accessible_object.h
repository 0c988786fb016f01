// The accessible object that screen readers get for a control (WM_GETOBJECT): the system's own
// for its kind, with the name the program gives it. The system would name a text field after
// the label just before it in the window order, which here is the tab order, and a link after
// its markup.
#pragma once

#include <string>

#include "platform/win32/win32_api.h"

namespace quorel::win32 {

// The answer to WM_GETOBJECT for the control's client object (its wParam passed on), or 0 when
// there is none (COM not initialised on this thread, or no accessibility library): the system's default then applies.
LRESULT NamedAccessibleObject(HWND control, WPARAM wParam, const std::u16string& name);

}  // namespace quorel::win32
