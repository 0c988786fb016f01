// The desktop backend on native Win32 windows.
//
// - It implements platform::desktop::Backend: every form becomes a top-level window built from
//   its layout table at the window's DPI (the process is per-monitor DPI aware) and laid out
//   again when it moves to a screen of another DPI; pictures and icons are the program's
//   resources (artwork.h).
// - A form's real window is built when it is first shown; until then its caption, texts and
//   enabled states are kept here. The Qt backend builds it in CreateWindow.
// - What the user does is queued and handed to the window semantics only from ProcessEvents and
//   WaitForEvents, at most what was queued when the pass began; window procedures only queue.
//   An exception raised inside one is kept and rethrown from there (and from MessageBox).
// - The timers of all forms run on the hidden program window, which also owns the dialogs
//   without an owner that cannot be minimised, so that they stay out of the task bar.
//   Restarting or stopping a timer withdraws its tick still queued.
// - A window is placed, and a sizable one sized, to lie on the work area of its screen; where
//   it fits, its layout's size and place hold.
// - Modality is the backend's own: every window but the innermost modal one is disabled, and
//   WaitForEvents handles the messages of all windows alike. The innermost modal window comes
//   back when it is minimised; any window does when it is shown or brought forward.
// - Under Wine, whose activation a window manager does not follow, a window brought forward is
//   shown anew, which the window manager activates.
// - Enter, Escape and F1 go to the window rules, never to the controls or the system; a link
//   opens its target through the shell; WM_QUIT is ignored.
// - Screen readers get the controls' names of accessible_names.h (accessible_object.h); the
//   backend enters a single-threaded COM apartment for them unless the thread is in one.
// - A focused push button looks like the default button, and the default button does while no
//   other push button has the focus.
// - Message boxes are the system's own, with its button texts. While one is up the windows go
//   on, but what they report (timer ticks included) is handed out only after it has closed. A
//   box closed without a button answers vbOK (only an OK button) or vbNo (Yes and No).
//
// Limits: one backend per program, on the thread that runs the event loop; menu shortcuts are
// function keys only; one face and size (MS Shell Dlg 2, 7 points) for every form; owner and
// modality change only while a window is hidden, so showing a shown window hides it first.
#pragma once

#include <chrono>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/backend.h"
#include "platform/win32/win32_api.h"

namespace quorel::win32 {

class Picture;

class Win32Backend final : public platform::desktop::Backend {
 public:
  // Registers the window classes and makes the process per-monitor DPI aware. Throws
  // std::runtime_error when the windows cannot be set up.
  Win32Backend();
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;
  ~Win32Backend() override;

  // Backend.
  void SetEvents(platform::desktop::BackendEvents& events) override { events_ = &events; }
  platform::desktop::WindowId CreateWindow(const platform::FormDescription& form) override;
  void DestroyWindow(platform::desktop::WindowId window) override;
  void ShowWindow(platform::desktop::WindowId window, platform::desktop::WindowId owner,
                  bool modal) override;
  void RaiseWindow(platform::desktop::WindowId window) override;
  void HideWindow(platform::desktop::WindowId window) override;
  void SetCaption(platform::desktop::WindowId window, std::u16string_view caption) override;
  std::u16string ControlText(platform::desktop::WindowId window,
                             std::u16string_view control) const override;
  void SetControlText(platform::desktop::WindowId window, std::u16string_view control,
                      std::u16string_view text) override;
  void SetControlEnabled(platform::desktop::WindowId window, std::u16string_view control,
                         bool on) override;
  void SetFocus(platform::desktop::WindowId window, std::u16string_view control) override;
  std::u16string FocusedControl(platform::desktop::WindowId window) const override;
  void StartTimer(platform::desktop::WindowId window, std::u16string_view timer,
                  int intervalMs) override;
  void StopTimer(platform::desktop::WindowId window, std::u16string_view timer) override;
  int MessageBox(std::u16string_view prompt, int style, std::u16string_view title) override;
  void SetMousePointer(int shape) override;
  void ProcessEvents(std::chrono::milliseconds maxWait) override;
  void WaitForEvents(bool modal) override;

  // The real windows, for tests and screenshots: the window of a form and of one of its
  // controls (nullptr while there is none), and the DPI the form is laid out for (0 while it
  // has no window).
  HWND WindowHandle(std::u16string_view form) const;
  HWND ControlHandle(std::u16string_view form, std::u16string_view control) const;
  unsigned Dpi(std::u16string_view form) const;

 private:
  struct Control {
    const platform::ControlDescription* description = nullptr;
    // Text and enabled state until the window is built; a link's shown text always.
    std::u16string text;
    bool enabled = true;
    HWND hwnd = nullptr;
    std::unique_ptr<Picture> picture;  // of a picture, image or button
    HICON buttonIcon = nullptr;        // a button's picture at the window's DPI
    HFONT linkFont = nullptr;          // a link's own copy of the window's font
  };
  struct Window {
    platform::desktop::WindowId id = platform::desktop::kNoWindow;
    std::unique_ptr<platform::FormDescription> form;  // stable address for the controls
    std::u16string caption;
    HWND hwnd = nullptr;  // none until the window is first shown
    unsigned dpi = 96;
    HFONT font = nullptr;
    HACCEL accelerators = nullptr;
    HICON smallIcon = nullptr, bigIcon = nullptr;
    std::unique_ptr<Picture> icon;
    std::vector<Control> controls;
    std::map<unsigned, std::u16string> menuItems;  // command id -> item name
    HWND focus = nullptr;  // the control that gets the focus when the window is activated
    platform::desktop::WindowId owner = platform::desktop::kNoWindow;
  };
  // A report for the window semantics, or work of the backend's own, waiting to be handed out.
  struct Report {
    platform::desktop::WindowId window = platform::desktop::kNoWindow;
    std::u16string timer;  // set for timer ticks, which a restart or stop withdraws
    std::function<void(platform::desktop::BackendEvents&)> deliver;
  };

  // Windows and controls (win32_backend.cpp).
  Window* Find(platform::desktop::WindowId window);
  const Window* Find(platform::desktop::WindowId window) const;
  Window& At(platform::desktop::WindowId window);
  const Window& At(platform::desktop::WindowId window) const;
  Window* FindByHandle(HWND hwnd);
  const Window* FindByForm(std::u16string_view form) const;
  // Builds the real window of a form, with its controls, as it stands.
  void Build(Window& w);
  static Control* FindControl(Window& w, std::u16string_view name);
  static const Control* FindControl(const Window& w, std::u16string_view name);
  static Control* FindControl(Window& w, HWND hwnd);
  void SetOwner(Window& w, platform::desktop::WindowId owner);
  void Place(Window& w);
  void UpdateEnabled();
  void ActivateFront();
  // Brings a minimised window back while it is the innermost modal one.
  void RestoreModal(platform::desktop::WindowId window);

  // Building and laying out (form_layout.cpp).
  void BuildMenus(Window& w);
  void BuildControls(Window& w);
  // Fonts, pictures, positions and the client size for the window's DPI; the window goes to
  // the suggested place when one is given.
  void ApplyDpi(Window& w, const RECT* suggested = nullptr);
  void SizeToClient(Window& w, const RECT* suggested = nullptr);
  int Px(const Window& w, int twips) const;
  HWND FirstFocusable(const Window& w) const;
  // The control that had the focus last, or else the first in tab order.
  HWND FocusTarget(Window& w);

  // Window procedures (window_procedures.cpp): they only queue what the program must hear of.
  static LRESULT CALLBACK FormProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR subclass, DWORD_PTR backend);
  static LRESULT CALLBACK PictureProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnFormMessage(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
  void OnTimer(UINT_PTR timer);
  std::optional<LRESULT> OnControlMessage(Window& w, Control& c, UINT message, WPARAM wParam,
                                          LPARAM lParam);
  void OnActivated(Window& w);
  void PaintLines(Window& w, HDC dc);
  void PaintPicture(Window& w, Control& c, HDC dc);
  void ShowDefaultLook(Window& w, HWND focus);
  bool SetBusyCursor() const;

  // The event loop (event_loop.cpp).
  void Post(platform::desktop::WindowId window,
            std::function<void(platform::desktop::BackendEvents&)> deliver,
            std::u16string timer = {});
  // Handles the queued messages; returns whether there was any.
  bool Pump();
  void Dispatch(MSG& msg);
  // Hands the queued reports out, at most those queued when it began.
  void Deliver();
  void RethrowError();
  void WithdrawTicks(platform::desktop::WindowId window, std::u16string_view timer);

  platform::desktop::BackendEvents* events_ = nullptr;
  std::map<platform::desktop::WindowId, Window> windows_;
  std::map<HWND, platform::desktop::WindowId> byHandle_;
  std::vector<platform::desktop::WindowId> modal_;  // modal windows shown, innermost last
  HWND messageBoxOwner_ = nullptr;                  // while a message box is up: its owner
  bool messageBoxUp_ = false;
  platform::desktop::WindowId nextId_ = 1;
  // The timers of all forms run on the hidden program window, which also keeps dialogs out of
  // the task bar as their owner.
  HWND application_ = nullptr;
  struct Timer {
    platform::desktop::WindowId window = platform::desktop::kNoWindow;
    std::u16string name;
  };
  std::map<UINT_PTR, Timer> timers_;
  UINT_PTR nextTimer_ = 1;
  std::deque<Report> reports_;
  std::exception_ptr error_;   // raised inside a window procedure, rethrown by the event loop
  HCURSOR pointer_ = nullptr;  // the application-wide pointer; nullptr: each window's own
  bool comInitialised_ = false;
};

}  // namespace quorel::win32
