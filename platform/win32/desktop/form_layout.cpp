// Building a form's menu bar and controls from its layout table, and laying them out in pixels
// of the window's DPI.
#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <string>

#include "platform/text.h"
#include "platform/win32/desktop/artwork.h"
#include "platform/win32/desktop/form_controls.h"
#include "platform/win32/desktop/win32_backend.h"
#include "platform/win32/desktop/window_classes.h"
#include "platform/win32/system_error.h"
#include "platform/win32/wide.h"

namespace quorel::win32 {

using platform::ControlDescription;
using platform::ControlKind;

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr UINT kFirstMenuId = 1000;
constexpr UINT kFirstControlId = 100;

// Every label of the layouts fits its box in this face at this size (the layouts were made
// for a narrower face at eight points).
constexpr const wchar_t* kFontFace = L"MS Shell Dlg 2";
constexpr int kFontPoints = 7;
// The designed size of a button's picture and a text field's inner margins at 96 DPI.
constexpr int kButtonPicturePixels = 16;
constexpr int kTextMarginPixels = 2;

WORD FunctionKey(std::u16string_view shortcut) {
  const std::string name = text::ToUtf8(shortcut);
  int n = 0;
  if (name.size() >= 2 && name[0] == 'F') {
    const auto [end, error] = std::from_chars(name.data() + 1, name.data() + name.size(), n);
    if (error == std::errc() && end == name.data() + name.size() && n >= 1 && n <= 24)
      return static_cast<WORD>(VK_F1 + n - 1);
  }
  throw std::logic_error("Unbekannte Tastenkombination: " + name);
}

std::wstring LinkMarkup(std::u16string_view text, std::u16string_view target) {
  return L"<a href=\"" + ToWide(target) + L"\">" + ToWide(text) + L"</a>";
}

// A copy of the window's font for a link control, which may delete the font it is given.
HFONT CopyFont(HFONT font) {
  LOGFONTW description{};
  GetObjectW(font, sizeof description, &description);
  return CreateFontIndirectW(&description);
}

// The size of a label sized to its text in the window's font, on one line, with room for a
// blank after it: some renderers draw a text a few pixels wider than they measure it.
SIZE AutoSize(HWND hwnd, HFONT font, const std::wstring& text) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, font);
  RECT box{0, 0, 0, 0};
  const std::wstring measured = text + L" ";
  DrawTextW(dc, measured.c_str(), static_cast<int>(measured.size()), &box,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return {box.right - box.left, box.bottom - box.top};
}

}  // namespace

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

int Win32Backend::Px(const Window& w, int twips) const {
  return MulDiv(twips, static_cast<int>(w.dpi), kTwipsPerInch);
}

void Win32Backend::BuildMenus(Window& w) {
  const auto& menus = w.form->menus;
  if (menus.empty()) return;
  // Filled before it is set: the window then computes its frame once, and draws the bar when
  // it is first shown. A bar not set goes with its menus.
  HMENU bar = CreateMenu();
  if (!bar) ThrowLastError("Menüleiste kann nicht angelegt werden");
  std::unique_ptr<HMENU__, decltype(&DestroyMenu)> unset(bar, &DestroyMenu);
  std::map<std::u16string, HMENU, std::less<>> popups;
  std::vector<ACCEL> accelerators;
  const auto hasItems = [&](const std::u16string& name) {
    return std::any_of(menus.begin(), menus.end(), [&](const auto& m) { return m.parent == name; });
  };
  UINT nextId = kFirstMenuId;
  for (const auto& m : menus) {
    HMENU parent = bar;
    if (!m.parent.empty()) {
      auto it = popups.find(m.parent);
      if (it == popups.end())
        throw std::logic_error("Menü vor seinem Obermenü: " + text::ToUtf8(m.name));
      parent = it->second;
    }
    BOOL added = FALSE;
    if (m.caption == u"-") {
      added = AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
    } else if (m.parent.empty() || hasItems(m.name)) {
      HMENU popup = CreatePopupMenu();
      added = popup && AppendMenuW(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(popup),
                                   ToWide(m.caption).c_str());
      if (added) popups.emplace(m.name, popup);
    } else {
      const UINT id = nextId++;
      std::wstring caption = ToWide(m.caption);
      if (!m.shortcut.empty()) {
        caption += L"\t" + ToWide(m.shortcut);
        accelerators.push_back({FVIRTKEY, FunctionKey(m.shortcut), static_cast<WORD>(id)});
      }
      added = AppendMenuW(parent, MF_STRING, id, caption.c_str());
      w.menuItems.emplace(id, m.name);
    }
    if (!added) ThrowLastError("Menüeintrag kann nicht angelegt werden");
  }
  if (!SetMenu(w.hwnd, bar)) ThrowLastError("Menüleiste kann nicht angelegt werden");
  unset.release();
  if (!accelerators.empty()) {
    w.accelerators =
        CreateAcceleratorTableW(accelerators.data(), static_cast<int>(accelerators.size()));
    if (!w.accelerators) ThrowLastError("Tastenkürzel können nicht angelegt werden");
  }
}

void Win32Backend::BuildControls(Window& w) {
  // Made in the order of the list, which is the tab order: the order the keyboard takes.
  HINSTANCE self = GetModuleHandleW(nullptr);
  for (Control& control : w.controls) {
    const ControlDescription& c = *control.description;
    const wchar_t* windowClass = nullptr;
    std::wstring text = ToWide(control.text);
    // Controls made later lie below: labels, made last, never paint over the fields their
    // boxes overlap.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (control.enabled ? 0 : WS_DISABLED) |
                  (platform::TakesFocus(c) ? WS_TABSTOP : 0);
    DWORD exStyle = 0;
    switch (c.kind) {
      case ControlKind::TextBox:
        windowClass = WC_EDITW;
        style |= ES_AUTOHSCROLL | (c.passwordChar ? ES_PASSWORD : 0);
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::Label:
        windowClass = WC_STATICW;
        // Shown exactly as set: an "&" is no access mark here.
        style |= SS_NOPREFIX | (c.autoSize ? SS_LEFTNOWORDWRAP : SS_LEFT);
        break;
      case ControlKind::PushButton:
      case ControlKind::CommandButton:
        windowClass = WC_BUTTONW;
        style |= c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        if (!c.picture.empty()) control.picture = Picture::Load(c.picture);
        break;
      case ControlKind::PictureBox:
      case ControlKind::Image:
        windowClass = kPictureClass;
        text.clear();
        if (!c.picture.empty()) control.picture = Picture::Load(c.picture);
        break;
      case ControlKind::HyperLink:
        windowClass = WC_LINK;
        text = LinkMarkup(control.text, c.target);
        break;
      case ControlKind::Line:
      case ControlKind::Timer:
        break;  // lines are drawn by the window; timers have no window
    }
    if (windowClass) {
      const auto id = kFirstControlId + static_cast<UINT_PTR>(&c - w.form->controls.data());
      control.hwnd = CreateWindowExW(exStyle, windowClass, text.c_str(), style, 0, 0, 0, 0, w.hwnd,
                                     reinterpret_cast<HMENU>(id), self, nullptr);
      if (!control.hwnd)
        ThrowLastError("Steuerelement kann nicht angelegt werden: " + text::ToUtf8(c.name));
      if (c.kind != ControlKind::PictureBox && c.kind != ControlKind::Image)
        SetWindowSubclass(control.hwnd, ControlProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
      if (c.kind == ControlKind::TextBox) {
        if (c.passwordChar) SendMessageW(control.hwnd, EM_SETPASSWORDCHAR, c.passwordChar, 0);
        // Limits only what the keyboard enters; texts set by the program stay whole.
        SendMessageW(control.hwnd, EM_SETLIMITTEXT, static_cast<WPARAM>(std::max(0, c.maxLength)),
                     0);
      }
    }
  }
}

void Win32Backend::ApplyDpi(Window& w, const RECT* suggested) {
  HFONT font =
      CreateFontW(-MulDiv(kFontPoints, static_cast<int>(w.dpi), 72), 0, 0, 0, FW_NORMAL, FALSE,
                  FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kFontFace);
  if (!font) ThrowLastError("Schrift kann nicht angelegt werden");
  if (w.icon) {
    w.smallIcon = w.icon->Icon(GetSystemMetricsForDpi(SM_CXSMICON, w.dpi));
    w.bigIcon = w.icon->Icon(GetSystemMetricsForDpi(SM_CXICON, w.dpi));
    SendMessageW(w.hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(w.smallIcon));
    SendMessageW(w.hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(w.bigIcon));
  }
  for (auto& control : w.controls) {
    if (!control.hwnd) continue;
    const ControlDescription& c = *control.description;
    if (c.kind == ControlKind::HyperLink) {
      HFONT previous = control.linkFont;
      control.linkFont = CopyFont(font);
      SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(control.linkFont), FALSE);
      if (previous) DeleteObject(previous);
    } else {
      SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (c.kind == ControlKind::TextBox) {
      // Narrow margins, as the layouts were made for: a four-digit port fits its field.
      const int margin = MulDiv(kTextMarginPixels, static_cast<int>(w.dpi), 96);
      SendMessageW(control.hwnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                   MAKELPARAM(margin, margin));
    }
    SIZE size{Px(w, c.width), Px(w, c.height)};
    if (c.kind == ControlKind::Label && c.autoSize) {
      size = AutoSize(control.hwnd, font, WindowText(control.hwnd));
    } else if (c.kind == ControlKind::Image && !c.stretch && control.picture) {
      size = control.picture->Size(w.dpi);  // an image that is not stretched has its own size
    } else if (IsButton(c) && control.picture) {
      control.buttonIcon =
          control.picture->Icon(MulDiv(kButtonPicturePixels, static_cast<int>(w.dpi), 96));
      SendMessageW(control.hwnd, BM_SETIMAGE, IMAGE_ICON,
                   reinterpret_cast<LPARAM>(control.buttonIcon));
    }
    MoveWindow(control.hwnd, Px(w, c.left), Px(w, c.top), size.cx, size.cy, TRUE);
  }
  if (w.font) DeleteObject(w.font);
  w.font = font;
  SizeToClient(w, suggested);
  InvalidateRect(w.hwnd, nullptr, TRUE);
}

void Win32Backend::SizeToClient(Window& w, const RECT* suggested) {
  const SIZE client{Px(w, w.form->clientWidth), Px(w, w.form->clientHeight)};
  RECT frame{0, 0, client.cx, client.cy};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(w.hwnd, GWL_STYLE)),
                           GetMenu(w.hwnd) != nullptr,
                           static_cast<DWORD>(GetWindowLongPtrW(w.hwnd, GWL_EXSTYLE)), w.dpi);
  SIZE size{frame.right - frame.left, frame.bottom - frame.top};
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (suggested ? 0 : SWP_NOMOVE);
  const int x = suggested ? suggested->left : 0, y = suggested ? suggested->top : 0;
  SetWindowPos(w.hwnd, nullptr, x, y, size.cx, size.cy, flags);
  // A menu bar on two lines, or a frame drawn for another DPI, takes other room than the
  // metrics say: what the client area really got decides.
  RECT got{};
  GetClientRect(w.hwnd, &got);
  if (got.right != client.cx || got.bottom != client.cy) {
    size.cx += client.cx - got.right;
    size.cy += client.cy - got.bottom;
    SetWindowPos(w.hwnd, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
}

HWND Win32Backend::FocusTarget(Window& w) {
  const Control* last = FindControl(w, w.focus);
  return last && IsWindowEnabled(last->hwnd) ? last->hwnd : FirstFocusable(w);
}

HWND Win32Backend::FirstFocusable(const Window& w) const {
  const Control* first = nullptr;
  for (const auto& c : w.controls) {
    if (c.hwnd && platform::TakesFocus(*c.description) && IsWindowEnabled(c.hwnd) &&
        (!first || c.description->tabIndex < first->description->tabIndex))
      first = &c;
  }
  return first ? first->hwnd : nullptr;
}

std::u16string Win32Backend::ControlText(platform::desktop::WindowId window,
                                         std::u16string_view control) const {
  const Control* c = FindControl(At(window), control);
  if (!c) return {};
  if (!c->hwnd || c->description->kind == ControlKind::HyperLink) return c->text;
  return FromWide(WindowText(c->hwnd));
}

void Win32Backend::SetControlText(platform::desktop::WindowId window, std::u16string_view control,
                                  std::u16string_view text) {
  Window& w = At(window);
  Control* c = FindControl(w, control);
  if (!c) return;
  c->text = text;
  if (!c->hwnd) return;
  const ControlDescription& d = *c->description;
  const std::wstring shown =
      d.kind == ControlKind::HyperLink ? LinkMarkup(text, d.target) : ToWide(text);
  if (!SetWindowTextW(c->hwnd, shown.c_str()))
    ThrowLastError("Text kann nicht gesetzt werden: " + text::ToUtf8(d.name));
  if (d.kind == ControlKind::Label && d.autoSize) {
    const SIZE size = AutoSize(c->hwnd, w.font, shown);
    SetWindowPos(c->hwnd, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
}

void Win32Backend::SetControlEnabled(platform::desktop::WindowId window,
                                     std::u16string_view control, bool on) {
  Control* c = FindControl(At(window), control);
  if (!c) return;
  c->enabled = on;
  if (c->hwnd) EnableWindow(c->hwnd, on);
}

}  // namespace quorel::win32
