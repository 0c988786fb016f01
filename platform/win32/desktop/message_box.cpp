// Message boxes: the system's own, with the buttons, icon and default button of the style value.
#include <string>

#include "platform/desktop.h"
#include "platform/win32/desktop/win32_backend.h"
#include "platform/win32/system_error.h"
#include "platform/win32/wide.h"

namespace quorel::win32 {

namespace {

// Buttons, icon and default button have the same values in the style as in the system's flags,
// and the answers the same numbers (vbOK is IDOK, vbYes IDYES, vbNo IDNO).
constexpr UINT kStyleFlags =
    platform::kMsgBoxButtons | platform::kMsgBoxIcon | platform::kMsgBoxDefaultButton;

}  // namespace

int Win32Backend::MessageBox(std::u16string_view prompt, int style, std::u16string_view title) {
  RethrowError();
  // The box belongs to the program's window in front; all others take no input meanwhile.
  HWND owner = GetActiveWindow();
  if (!FindByHandle(owner)) {
    owner = nullptr;
    for (HWND h = GetTopWindow(nullptr); h && !owner; h = GetWindow(h, GW_HWNDNEXT))
      if (FindByHandle(h) && IsWindowVisible(h) && IsWindowEnabled(h)) owner = h;
  }
  messageBoxUp_ = true;
  messageBoxOwner_ = owner;
  UpdateEnabled();
  const UINT flags = (static_cast<UINT>(style) & kStyleFlags) | MB_SETFOREGROUND |
                     (owner ? MB_APPLMODAL : MB_TASKMODAL);
  const int answer = MessageBoxW(owner, ToWide(prompt).c_str(), ToWide(title).c_str(), flags);
  const DWORD error = GetLastError();
  messageBoxUp_ = false;
  messageBoxOwner_ = nullptr;
  UpdateEnabled();
  if (answer == 0) {
    SetLastError(error);
    ThrowLastError("Meldung kann nicht angezeigt werden");
  }
  if (!FindByHandle(GetActiveWindow())) ActivateFront();
  RethrowError();
  // Closed without a button (Escape, the close box), a box answers Cancel on some systems: OK
  // for a box with only an OK button, No for a Yes/No box.
  switch (style & platform::kMsgBoxButtons) {
    case platform::vbOKOnly:
      return platform::vbOK;
    case platform::vbYesNo:
      return answer == IDYES ? platform::vbYes : platform::vbNo;
    default:
      return answer;
  }
}

}  // namespace quorel::win32
