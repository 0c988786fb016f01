#include "platform/win32/desktop/win32_backend.h"

#include <objbase.h>

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>

#include "platform/desktop.h"
#include "platform/win32/desktop/artwork.h"
#include "platform/win32/desktop/form_controls.h"
#include "platform/win32/desktop/window_classes.h"
#include "platform/win32/system_error.h"
#include "platform/win32/wide.h"

namespace quorel::win32 {

using platform::FormDescription;
using platform::desktop::BackendEvents;
using platform::desktop::kNoWindow;
using platform::desktop::WindowId;

namespace {

DWORD FrameStyle(const FormDescription& f) {
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (f.frame == platform::FrameKind::Sizable) {
    style |= WS_THICKFRAME;
    if (f.minButton) style |= WS_MINIMIZEBOX;
    if (f.maxButton) style |= WS_MAXIMIZEBOX;
  }
  return style;
}

bool UnderWine() {
  static const bool wine =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

DWORD FrameExStyle(const FormDescription& f) {
  DWORD style = WS_EX_CONTROLPARENT;
  if (f.frame == platform::FrameKind::FixedDialog) style |= WS_EX_DLGMODALFRAME;
  if (f.showInTaskbar) style |= WS_EX_APPWINDOW;
  return style;
}

}  // namespace

Win32Backend::Win32Backend() {
  // The accessible objects of the controls reach screen readers through COM. A thread that
  // is in the multi-threaded apartment already has it.
  comInitialised_ =
      SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
  // The manifest asks for this already; a program without one gets it here. A second call
  // fails harmlessly.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  RegisterWindowClasses(FormProcedure, PictureProcedure);
  application_ = CreateWindowExW(0, kFormClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), this);
  if (!application_) ThrowLastError("Das Programmfenster kann nicht angelegt werden");
}

Win32Backend::~Win32Backend() {
  std::vector<WindowId> ids;
  for (const auto& [id, w] : windows_)
    ids.push_back(id);
  // Newest first, so that dialogs go before the windows that own them.
  for (auto it = ids.rbegin(); it != ids.rend(); ++it)
    DestroyWindow(*it);
  ::DestroyWindow(application_);
  if (comInitialised_) CoUninitialize();
}

Win32Backend::Window* Win32Backend::Find(WindowId window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

const Win32Backend::Window* Win32Backend::Find(WindowId window) const {
  return const_cast<Win32Backend*>(this)->Find(window);
}

Win32Backend::Window& Win32Backend::At(WindowId window) {
  Window* w = Find(window);
  if (!w) throw std::logic_error("Fenster existiert nicht: #" + std::to_string(window));
  return *w;
}

const Win32Backend::Window& Win32Backend::At(WindowId window) const {
  return const_cast<Win32Backend*>(this)->At(window);
}

Win32Backend::Window* Win32Backend::FindByHandle(HWND hwnd) {
  auto it = byHandle_.find(hwnd);
  return it == byHandle_.end() ? nullptr : Find(it->second);
}

const Win32Backend::Window* Win32Backend::FindByForm(std::u16string_view form) const {
  for (const auto& [id, w] : windows_)
    if (w.form->name == form) return &w;
  return nullptr;
}

Win32Backend::Control* Win32Backend::FindControl(Window& w, std::u16string_view name) {
  for (auto& c : w.controls)
    if (c.description->name == name) return &c;
  return nullptr;
}

const Win32Backend::Control* Win32Backend::FindControl(const Window& w, std::u16string_view name) {
  return FindControl(const_cast<Window&>(w), name);
}

Win32Backend::Control* Win32Backend::FindControl(Window& w, HWND hwnd) {
  if (!hwnd) return nullptr;
  for (auto& c : w.controls)
    if (c.hwnd == hwnd) return &c;
  return nullptr;
}

HWND Win32Backend::WindowHandle(std::u16string_view form) const {
  const Window* w = FindByForm(form);
  return w ? w->hwnd : nullptr;
}

HWND Win32Backend::ControlHandle(std::u16string_view form, std::u16string_view control) const {
  const Window* w = FindByForm(form);
  const Control* c = w ? FindControl(*w, control) : nullptr;
  return c ? c->hwnd : nullptr;
}

unsigned Win32Backend::Dpi(std::u16string_view form) const {
  const Window* w = FindByForm(form);
  return w ? w->dpi : 0;
}

WindowId Win32Backend::CreateWindow(const FormDescription& form) {
  const WindowId id = nextId_++;
  Window& w = windows_[id];
  w.id = id;
  w.form = std::make_unique<FormDescription>(form);
  w.caption = form.caption;
  // In tab order, which is the order the keyboard takes through them; the others after.
  for (const auto& c : w.form->controls) {
    Control control;
    control.description = &c;
    control.text = c.text;
    control.enabled = c.enabled;
    w.controls.push_back(std::move(control));
  }
  std::stable_sort(w.controls.begin(), w.controls.end(), [](const Control& a, const Control& b) {
    const auto order = [](const Control& c) {
      return platform::TakesFocus(*c.description) ? c.description->tabIndex : INT_MAX;
    };
    return order(a) < order(b);
  });
  return id;
}

void Win32Backend::Build(Window& w) {
  const FormDescription& form = *w.form;
  try {
    // Dialogs are owned by the hidden program window until they are shown: so they stay out
    // of the task bar.
    w.hwnd =
        CreateWindowExW(FrameExStyle(form), kFormClass, ToWide(w.caption).c_str(), FrameStyle(form),
                        CW_USEDEFAULT, 0, 100, 100, form.showInTaskbar ? nullptr : application_,
                        nullptr, GetModuleHandleW(nullptr), this);
    if (!w.hwnd) ThrowLastError("Fenster kann nicht angelegt werden");
    byHandle_[w.hwnd] = w.id;
    w.dpi = GetDpiForWindow(w.hwnd);
    if (w.dpi == 0) w.dpi = USER_DEFAULT_SCREEN_DPI;
    if (!form.icon.empty()) w.icon = Picture::Load(form.icon);
    BuildMenus(w);
    BuildControls(w);
    ApplyDpi(w);
  } catch (...) {
    // The form stays as it was, without a window.
    byHandle_.erase(w.hwnd);
    if (w.hwnd) ::DestroyWindow(w.hwnd);
    w.hwnd = nullptr;
    for (auto& c : w.controls)
      c.hwnd = nullptr;
    throw;
  }
}

void Win32Backend::DestroyWindow(WindowId window) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  // Windows it owns live on without it; the system would destroy them with it.
  for (auto& [id, other] : windows_) {
    if (other.owner != window || !other.hwnd) continue;
    const bool visible = IsWindowVisible(other.hwnd);
    if (visible) ::ShowWindow(other.hwnd, SW_HIDE);
    SetOwner(other, kNoWindow);
    if (visible) ::ShowWindow(other.hwnd, SW_SHOWNA);
  }
  std::erase(modal_, window);
  for (auto t = timers_.begin(); t != timers_.end();) {
    if (t->second.window != window) {
      ++t;
      continue;
    }
    KillTimer(application_, t->first);
    t = timers_.erase(t);
  }
  std::erase_if(reports_, [&](const Report& r) { return r.window == window && !r.timer.empty(); });
  Window gone = std::move(it->second);
  windows_.erase(it);
  if (!gone.hwnd) return;
  const bool wasActive = GetActiveWindow() == gone.hwnd;
  byHandle_.erase(gone.hwnd);
  UpdateEnabled();
  ::DestroyWindow(gone.hwnd);
  if (gone.font) DeleteObject(gone.font);
  if (gone.accelerators) DestroyAcceleratorTable(gone.accelerators);
  // A link control may have deleted its font already.
  for (const auto& c : gone.controls)
    if (c.linkFont && GetObjectType(c.linkFont) == OBJ_FONT) DeleteObject(c.linkFont);
  if (wasActive) ActivateFront();
}

void Win32Backend::SetOwner(Window& w, WindowId owner) {
  w.owner = owner;
  const Window* o = Find(owner);
  HWND ownerHandle = o ? o->hwnd : nullptr;
  LONG_PTR exStyle = GetWindowLongPtrW(w.hwnd, GWL_EXSTYLE) & ~LONG_PTR{WS_EX_APPWINDOW};
  if (!ownerHandle) {
    // Without an owner a dialog stays out of the task bar under the hidden program window,
    // unless it can be minimised: then its task-bar entry is the way back to it.
    if (w.form->showInTaskbar || w.form->minButton)
      exStyle |= WS_EX_APPWINDOW;
    else
      ownerHandle = application_;
  }
  SetWindowLongPtrW(w.hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(ownerHandle));
  SetWindowLongPtrW(w.hwnd, GWL_EXSTYLE, exStyle);
}

void Win32Backend::Place(Window& w) {
  const FormDescription& f = *w.form;
  RECT frame{};
  GetWindowRect(w.hwnd, &frame);
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  int x = frame.left, y = frame.top;
  const Window* owner = Find(w.owner);
  const bool overOwner = f.position == platform::StartPosition::CenterOwner && owner &&
                         IsWindowVisible(owner->hwnd) && !IsIconic(owner->hwnd);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(overOwner ? owner->hwnd : w.hwnd, MONITOR_DEFAULTTOPRIMARY),
                  &monitor);
  const RECT area = monitor.rcWork;
  if (f.position == platform::StartPosition::Manual) {
    // The stored position is that of the client area, from the screen's top left corner.
    POINT client{0, 0};
    ClientToScreen(w.hwnd, &client);
    x = Px(w, f.left) - (client.x - frame.left);
    y = Px(w, f.top) - (client.y - frame.top);
  } else if (f.position == platform::StartPosition::CenterOwner) {
    RECT reference = area;
    if (overOwner) GetWindowRect(owner->hwnd, &reference);
    x = (reference.left + reference.right - width) / 2;
    y = (reference.top + reference.bottom - height) / 2;
  }
  // On the work area: a sizable window larger than it is made smaller, and one that would
  // leave it is moved just as far as it must.
  if (f.frame == platform::FrameKind::Sizable) {
    width = std::min<int>(width, area.right - area.left);
    height = std::min<int>(height, area.bottom - area.top);
  }
  x = std::clamp<int>(x, area.left, std::max<int>(area.left, area.right - width));
  y = std::clamp<int>(y, area.top, std::max<int>(area.top, area.bottom - height));
  SetWindowPos(w.hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Backend::UpdateEnabled() {
  const WindowId innermost = modal_.empty() ? kNoWindow : modal_.back();
  for (auto& [id, w] : windows_) {
    if (!w.hwnd) continue;
    // While a message box is up, its owner is the one the box disables itself.
    const bool on =
        messageBoxUp_ ? w.hwnd == messageBoxOwner_ : innermost == kNoWindow || id == innermost;
    if ((IsWindowEnabled(w.hwnd) != FALSE) == on) continue;
    if (!on) {
      // Disabling takes the focus away; it comes back when the window is active again.
      HWND focus = GetFocus();
      if (focus && IsChild(w.hwnd, focus)) w.focus = focus;
    }
    EnableWindow(w.hwnd, on);
  }
}

void Win32Backend::ActivateFront() {
  for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
    if (FindByHandle(h) && IsWindowVisible(h) && IsWindowEnabled(h)) {
      SetForegroundWindow(h);
      return;
    }
  }
}

void Win32Backend::ShowWindow(WindowId window, WindowId owner, bool modal) {
  Window& w = At(window);
  if (!w.hwnd) Build(w);
  if (IsWindowVisible(w.hwnd)) {
    // Owner and modality change only while the window is hidden.
    std::erase(modal_, window);
    ::ShowWindow(w.hwnd, SW_HIDE);
  }
  SetOwner(w, owner == window ? kNoWindow : owner);
  if (modal) modal_.push_back(window);
  UpdateEnabled();
  if (!FindControl(w, w.focus)) w.focus = FirstFocusable(w);
  Place(w);
  const bool enabled = IsWindowEnabled(w.hwnd) != FALSE;
  ::ShowWindow(w.hwnd, IsIconic(w.hwnd) ? SW_RESTORE : enabled ? SW_SHOW : SW_SHOWNA);
  if (enabled) SetForegroundWindow(w.hwnd);
}

void Win32Backend::RaiseWindow(WindowId window) {
  Window& w = At(window);
  if (!w.hwnd) return;  // not shown
  if (IsIconic(w.hwnd)) ::ShowWindow(w.hwnd, SW_RESTORE);
  if (!IsWindowEnabled(w.hwnd)) return;  // a modal window is in front of it
  if (UnderWine() && GetForegroundWindow() != w.hwnd) {
    // Wine takes the activation as done and leaves the window manager's active window as it
    // is; a window shown anew is activated by the window manager too.
    ::ShowWindow(w.hwnd, SW_HIDE);
    ::ShowWindow(w.hwnd, SW_SHOW);
  }
  BringWindowToTop(w.hwnd);
  SetForegroundWindow(w.hwnd);
}

void Win32Backend::RestoreModal(WindowId window) {
  const Window* w = Find(window);
  if (!w || !w->hwnd || !IsIconic(w->hwnd) || modal_.empty() || modal_.back() != window) return;
  ::ShowWindow(w->hwnd, SW_RESTORE);
  SetForegroundWindow(w->hwnd);
}

void Win32Backend::HideWindow(WindowId window) {
  Window& w = At(window);
  // The windows behind a modal one take input again before it goes, so that the system
  // hands the activation to one of them.
  std::erase(modal_, window);
  if (!w.hwnd) return;
  UpdateEnabled();
  const bool wasActive = GetActiveWindow() == w.hwnd;
  ::ShowWindow(w.hwnd, SW_HIDE);
  if (wasActive && !FindByHandle(GetActiveWindow())) ActivateFront();
}

void Win32Backend::SetCaption(WindowId window, std::u16string_view caption) {
  Window& w = At(window);
  w.caption = caption;
  if (w.hwnd && !SetWindowTextW(w.hwnd, ToWide(caption).c_str()))
    ThrowLastError("Fenstertitel kann nicht gesetzt werden");
}

void Win32Backend::SetFocus(WindowId window, std::u16string_view control) {
  Window& w = At(window);
  Control* c = FindControl(w, control);
  if (!c || !c->hwnd) return;  // only a shown window takes the focus
  if (GetActiveWindow() == w.hwnd && IsWindowEnabled(w.hwnd)) {
    ::SetFocus(c->hwnd);
    return;
  }
  // In a window that is not active the focus moves silently (the system would activate the
  // window); the control that had it still lost it.
  const Control* previous = FindControl(w, w.focus);
  w.focus = c->hwnd;
  if (previous && previous != c) {
    Post(window, [window, name = previous->description->name](BackendEvents& e) {
      e.FocusLost(window, name);
    });
  }
}

std::u16string Win32Backend::FocusedControl(WindowId window) const {
  auto& w = const_cast<Window&>(At(window));
  if (!w.hwnd) return {};
  const Control* c = FindControl(w, GetActiveWindow() == w.hwnd ? GetFocus() : w.focus);
  return c ? c->description->name : std::u16string();
}

void Win32Backend::StartTimer(WindowId window, std::u16string_view timer, int intervalMs) {
  At(window);
  if (intervalMs <= 0) return;
  auto it = std::find_if(timers_.begin(), timers_.end(), [&](const auto& t) {
    return t.second.window == window && t.second.name == timer;
  });
  const UINT_PTR id = it != timers_.end() ? it->first : nextTimer_++;
  timers_[id] = {window, std::u16string(timer)};
  // Setting a running timer again starts a new interval; a tick of the old one still queued
  // is withdrawn.
  if (!SetTimer(application_, id, static_cast<UINT>(intervalMs), nullptr))
    ThrowLastError("Zeitgeber kann nicht gestartet werden");
  WithdrawTicks(window, timer);
}

void Win32Backend::StopTimer(WindowId window, std::u16string_view timer) {
  std::erase_if(timers_, [&](const auto& t) {
    const bool match = t.second.window == window && t.second.name == timer;
    if (match) KillTimer(application_, t.first);
    return match;
  });
  WithdrawTicks(window, timer);
}

void Win32Backend::OnTimer(UINT_PTR timer) {
  auto it = timers_.find(timer);
  if (it == timers_.end()) return;  // stopped meanwhile
  const WindowId window = it->second.window;
  Post(
      window, [window, name = it->second.name](BackendEvents& e) { e.TimerFired(window, name); },
      it->second.name);
}

void Win32Backend::SetMousePointer(int shape) {
  pointer_ = shape == platform::vbDefault
                 ? nullptr
                 : LoadCursorW(nullptr, shape == platform::vbHourglass ? IDC_WAIT : IDC_ARROW);
  // Shown at once where the pointer stands over one of the program's windows, not only
  // when it moves next.
  POINT at{};
  if (!GetCursorPos(&at)) return;
  HWND under = WindowFromPoint(at);
  if (!under || GetWindowThreadProcessId(under, nullptr) != GetCurrentThreadId()) return;
  const LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
               MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
}

}  // namespace quorel::win32
