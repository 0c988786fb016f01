#include "platform/win32/desktop/window_classes.h"

#include <stdexcept>

#include "platform/win32/system_error.h"
#include "platform/win32/wide.h"

namespace quorel::win32 {

namespace {

void Register(const wchar_t* name, WNDPROC procedure, HICON icon, HICON smallIcon) {
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.lpfnWndProc = procedure;
  c.hInstance = GetModuleHandleW(nullptr);
  c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  c.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  c.hIcon = icon;
  c.hIconSm = smallIcon;
  c.lpszClassName = name;
  if (!RegisterClassExW(&c) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    ThrowLastError("Fensterklasse kann nicht angemeldet werden");
}

}  // namespace

void RegisterWindowClasses(WNDPROC form, WNDPROC picture) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_LINK_CLASS;
  if (!InitCommonControlsEx(&controls))
    throw std::runtime_error(
        "Die Steuerelemente von Windows (Version 6) stehen nicht zur Verfügung");
  // The program's own icon for windows that have none of their own.
  HINSTANCE self = GetModuleHandleW(nullptr);
  const auto icon = [&](int metric) {
    return static_cast<HICON>(LoadImageW(self, L"quorel", IMAGE_ICON, GetSystemMetrics(metric),
                                         GetSystemMetrics(metric), LR_SHARED));
  };
  Register(kFormClass, form, icon(SM_CXICON), icon(SM_CXSMICON));
  Register(kPictureClass, picture, nullptr, nullptr);
}

}  // namespace quorel::win32
