// The window procedures of the forms, their controls and pictures. They keep the windows
// working (focus, colours, painting, DPI) and queue what the program must hear of; no program
// code runs in them, and no exception leaves them.
#include <string>

#include "platform/desktop/accessible_names.h"
#include "platform/win32/desktop/accessible_object.h"
#include "platform/win32/desktop/artwork.h"
#include "platform/win32/desktop/form_controls.h"
#include "platform/win32/desktop/win32_backend.h"

namespace quorel::win32 {

using platform::ControlKind;
using platform::desktop::BackendEvents;
using platform::desktop::kNoWindow;
using platform::desktop::WindowId;

namespace {

// Opens a link's target as the system does for the user; shell32 is loaded only then.
void OpenLink(const std::wstring& target) {
  using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  HMODULE shell = LoadLibraryW(L"shell32.dll");
  if (!shell) return;
  const auto execute = reinterpret_cast<ShellExecuteFunction>(
      reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteW")));
  if (execute) execute(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

COLORREF ToColorRef(const platform::Rgb& c) {
  return RGB(c.red, c.green, c.blue);
}

}  // namespace

LRESULT CALLBACK Win32Backend::FormProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* backend = reinterpret_cast<Win32Backend*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (backend && hwnd == backend->application_ && message == WM_TIMER) {
    try {
      backend->OnTimer(wParam);
    } catch (...) {
      if (!backend->error_) backend->error_ = std::current_exception();
    }
    return 0;
  }
  Window* w = backend ? backend->FindByHandle(hwnd) : nullptr;
  if (!w) return DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    return backend->OnFormMessage(*w, message, wParam, lParam);
  } catch (...) {
    if (!backend->error_) backend->error_ = std::current_exception();
    return 0;
  }
}

LRESULT CALLBACK Win32Backend::ControlProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam, UINT_PTR /*subclass*/,
                                                DWORD_PTR backendPointer) {
  auto* backend = reinterpret_cast<Win32Backend*>(backendPointer);
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ControlProcedure, 0);
  Window* w = backend->FindByHandle(GetAncestor(hwnd, GA_ROOT));
  Control* c = w ? FindControl(*w, hwnd) : nullptr;
  if (c) {
    try {
      if (auto result = backend->OnControlMessage(*w, *c, message, wParam, lParam)) return *result;
    } catch (...) {
      if (!backend->error_) backend->error_ = std::current_exception();
    }
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Win32Backend::PictureProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  HWND root = GetAncestor(hwnd, GA_ROOT);
  auto* backend = reinterpret_cast<Win32Backend*>(GetWindowLongPtrW(root, GWLP_USERDATA));
  Window* w = backend ? backend->FindByHandle(root) : nullptr;
  Control* c = w ? FindControl(*w, hwnd) : nullptr;
  if (!c) return DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    if (auto result = backend->OnControlMessage(*w, *c, message, wParam, lParam)) return *result;
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        backend->PaintPicture(*w, *c, dc);
        EndPaint(hwnd, &paint);
        return 0;
      }
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);  // the focus frame
        return 0;
      case WM_LBUTTONDOWN:
        if (platform::TakesFocus(*c->description)) ::SetFocus(hwnd);
        return 0;
      default:
        break;
    }
  } catch (...) {
    if (!backend->error_) backend->error_ = std::current_exception();
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32Backend::OnFormMessage(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  const WindowId id = w.id;
  switch (message) {
    case WM_CLOSE:
      // The window rules decide what the close box does.
      Post(id, [id](BackendEvents& e) { e.CloseRequested(id); });
      return 0;
    case WM_COMMAND:
      if (lParam == 0) {  // a menu item, chosen or by its shortcut
        if (auto it = w.menuItems.find(LOWORD(wParam)); it != w.menuItems.end())
          Post(id, [id, item = it->second](BackendEvents& e) { e.MenuChosen(id, item); });
      } else if (HIWORD(wParam) == BN_CLICKED) {
        const Control* c = FindControl(w, reinterpret_cast<HWND>(lParam));
        if (c && IsButton(*c->description))
          Post(id, [id, name = c->description->name](BackendEvents& e) { e.Clicked(id, name); });
      }
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      const Control* c = FindControl(w, header->hwndFrom);
      if (c && c->description->kind == ControlKind::HyperLink && header->code == NM_CLICK) {
        std::wstring target = reinterpret_cast<const NMLINK*>(lParam)->item.szUrl;
        Post(kNoWindow, [target = std::move(target)](BackendEvents&) { OpenLink(target); });
      }
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        // The control with the focus gets it back when the window is active again.
        HWND focus = GetFocus();
        if (FindControl(w, focus)) w.focus = focus;
        return 0;
      }
      if (HIWORD(wParam) != 0) break;  // minimised
      OnActivated(w);
      return 0;
    case DM_GETDEFID:
      // The system's dialog keys ask for the default button when they move the focus off a
      // push button, and give it back its look.
      for (const auto& c : w.controls)
        if (c.hwnd && c.description->isDefault)
          return MAKELRESULT(GetDlgCtrlID(c.hwnd), DC_HASDEFID);
      return 0;
    case WM_SIZE:
      // The program waits for the innermost modal window, the only one that takes input:
      // minimised, it comes back at once.
      if (wParam == SIZE_MINIMIZED && !modal_.empty() && modal_.back() == id)
        Post(kNoWindow, [this, id](BackendEvents&) { RestoreModal(id); });
      break;
    case WM_SETFOCUS:
      // The window itself passes the focus on to its control.
      if (HWND target = FocusTarget(w)) ::SetFocus(target);
      return 0;
    case WM_NEXTDLGCTL: {
      HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                   : GetNextDlgTabItem(w.hwnd, GetFocus(), wParam != 0);
      if (target) {
        ::SetFocus(target);
        if (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
          SendMessageW(target, EM_SETSEL, 0, -1);
      }
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      const Control* c = FindControl(w, reinterpret_cast<HWND>(lParam));
      if (!c) break;
      const auto& d = *c->description;
      const bool buttonFace = d.buttonFaceBackground || d.kind == ControlKind::Label ||
                              d.kind == ControlKind::HyperLink;
      if (!buttonFace) break;
      auto* dc = reinterpret_cast<HDC>(wParam);
      if (d.foreColor) {
        SetTextColor(dc, ToColorRef(*d.foreColor));
      } else if (d.kind != ControlKind::TextBox) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      }
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(w.hwnd, &paint);
      PaintLines(w, dc);
      EndPaint(w.hwnd, &paint);
      return 0;
    }
    case WM_SETCURSOR:
      if (SetBusyCursor()) return TRUE;
      break;
    case WM_DPICHANGED: {
      // Moved to a screen of another DPI: everything is laid out again for it.
      w.dpi = HIWORD(wParam);
      ApplyDpi(w, reinterpret_cast<const RECT*>(lParam));
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(w.hwnd, message, wParam, lParam);
}

std::optional<LRESULT> Win32Backend::OnControlMessage(Window& w, Control& c, UINT message,
                                                      WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETOBJECT:
      // The object ids come as 32-bit values.
      if (static_cast<LONG>(static_cast<DWORD>(lParam)) == static_cast<LONG>(OBJID_CLIENT)) {
        const auto textOf = [&](const platform::ControlDescription& d) {
          return ControlText(w.id, d.name);
        };
        const std::u16string name =
            platform::desktop::AccessibleName(*w.form, *c.description, textOf);
        if (const LRESULT object = NamedAccessibleObject(c.hwnd, wParam, name)) return object;
      }
      break;
    case WM_SETFOCUS:
      w.focus = c.hwnd;
      ShowDefaultLook(w, c.hwnd);
      break;
    case WM_KILLFOCUS: {
      // Focus belongs to each window: only a move to another control of the same window, or
      // to the window itself, is a loss.
      auto* next = reinterpret_cast<HWND>(wParam);
      if (next && (next == w.hwnd || IsChild(w.hwnd, next))) {
        const WindowId id = w.id;
        Post(id, [id, name = c.description->name](BackendEvents& e) { e.FocusLost(id, name); });
      }
      break;
    }
    case WM_SETCURSOR:
      if (SetBusyCursor()) return TRUE;
      break;
    default:
      break;
  }
  return std::nullopt;
}

void Win32Backend::OnActivated(Window& w) {
  HWND target = FocusTarget(w);
  ::SetFocus(target ? target : w.hwnd);
  const WindowId id = w.id;
  Post(id, [id](BackendEvents& e) { e.Activated(id); });
  // A window without any control that can take the focus takes it itself.
  if (!target) Post(id, [id](BackendEvents& e) { e.FormFocused(id); });
}

void Win32Backend::ShowDefaultLook(Window& w, HWND focus) {
  // A focused button takes Enter itself and looks like it; otherwise the default button does.
  const Control* focused = FindControl(w, focus);
  const bool onButton = focused && IsButton(*focused->description);
  for (const auto& c : w.controls) {
    if (!c.hwnd || !IsButton(*c.description)) continue;
    const LONG_PTR look =
        (onButton ? c.hwnd == focus : c.description->isDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if ((GetWindowLongPtrW(c.hwnd, GWL_STYLE) & BS_TYPEMASK) != look)
      SendMessageW(c.hwnd, BM_SETSTYLE, static_cast<WPARAM>(look), TRUE);
  }
}

bool Win32Backend::SetBusyCursor() const {
  if (!pointer_) return false;
  SetCursor(pointer_);
  return true;
}

void Win32Backend::PaintLines(Window& w, HDC dc) {
  for (const auto& c : w.form->controls) {
    if (c.kind != ControlKind::Line) continue;
    const COLORREF colour = c.foreColor ? ToColorRef(*c.foreColor) : RGB(0, 0, 0);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    const int x1 = Px(w, c.left), y1 = Px(w, c.top), x2 = Px(w, c.width), y2 = Px(w, c.height);
    // A wide line grows down (horizontal) or right (otherwise) from its end points, which
    // both belong to it.
    const bool horizontal = std::abs(x2 - x1) >= std::abs(y2 - y1);
    const int width = std::max(1, MulDiv(c.lineWidth, static_cast<int>(w.dpi), 96));
    for (int i = 0; i < width; ++i) {
      const int dx = horizontal ? 0 : i, dy = horizontal ? i : 0;
      MoveToEx(dc, x1 + dx, y1 + dy, nullptr);
      LineTo(dc, x2 + dx, y2 + dy);
      SetPixel(dc, x2 + dx, y2 + dy, colour);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
  }
}

void Win32Backend::PaintPicture(Window& w, Control& c, HDC dc) {
  RECT box{};
  GetClientRect(c.hwnd, &box);
  if (c.picture) {
    RECT drawn = box;
    if (!c.description->stretch) {
      const SIZE size = c.picture->Size(w.dpi);
      drawn.right = drawn.left + size.cx;
      drawn.bottom = drawn.top + size.cy;
    }
    c.picture->Draw(dc, drawn);
  }
  if (GetFocus() == c.hwnd) DrawFocusRect(dc, &box);
}

}  // namespace quorel::win32
