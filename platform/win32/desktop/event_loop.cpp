// The event loop: messages are handled as they come, and what they report waits in a queue
// until the window semantics take it, from ProcessEvents and WaitForEvents only.
#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

#include "platform/win32/desktop/win32_backend.h"

namespace quorel::win32 {

using platform::desktop::BackendEvents;
using platform::desktop::Key;
using platform::desktop::WindowId;

namespace {

// Keys that go to the window rules and never to the controls or the system.
std::optional<Key> ReportedKey(WPARAM virtualKey) {
  switch (virtualKey) {
    case VK_RETURN:
      return Key::Enter;
    case VK_ESCAPE:
      return Key::Escape;
    case VK_F1:
      return Key::F1;
    default:
      return std::nullopt;
  }
}

// At most this many messages per pass, so that messages that keep coming cannot hold it.
constexpr int kMessagesPerPass = 1000;

}  // namespace

void Win32Backend::Post(WindowId window, std::function<void(BackendEvents&)> deliver,
                        std::u16string timer) {
  reports_.push_back({window, std::move(timer), std::move(deliver)});
}

void Win32Backend::WithdrawTicks(WindowId window, std::u16string_view timer) {
  std::erase_if(reports_, [&](const Report& r) { return r.window == window && r.timer == timer; });
}

bool Win32Backend::Pump() {
  bool any = false;
  MSG msg;
  for (int i = 0; i < kMessagesPerPass && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    any = true;
    if (msg.message == WM_QUIT) continue;  // the program ends only by its window rules
    Dispatch(msg);
  }
  return any;
}

void Win32Backend::Dispatch(MSG& msg) {
  Window* w = msg.hwnd ? FindByHandle(GetAncestor(msg.hwnd, GA_ROOT)) : nullptr;
  if (w) {
    const bool key = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    if (key && w->accelerators && TranslateAcceleratorW(w->hwnd, w->accelerators, &msg)) return;
    if (msg.message == WM_KEYDOWN) {
      if (auto reported = ReportedKey(msg.wParam)) {
        const WindowId id = w->id;
        Post(id, [id, k = *reported](BackendEvents& e) { e.KeyPressed(id, k); });
        return;
      }
    }
    // Tab order and access letters of the controls, as in a dialog. The system's dialog keys
    // leave the default look to the default button alone (Wine's also while a push button has
    // the focus): it is put right again.
    const bool controls = std::any_of(w->controls.begin(), w->controls.end(),
                                      [](const Control& c) { return c.hwnd != nullptr; });
    HWND root = w->hwnd;
    if (controls && IsDialogMessageW(root, &msg)) {
      if (Window* still = FindByHandle(root)) ShowDefaultLook(*still, GetFocus());
      return;
    }
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Win32Backend::Deliver() {
  // Reports queued while these are handed out wait for the next pass.
  for (std::size_t n = reports_.size(); n > 0 && !reports_.empty(); --n) {
    Report report = std::move(reports_.front());
    reports_.pop_front();
    if (events_) report.deliver(*events_);
  }
}

void Win32Backend::RethrowError() {
  if (!error_) return;
  std::exception_ptr error = std::exchange(error_, nullptr);
  std::rethrow_exception(error);
}

void Win32Backend::ProcessEvents(std::chrono::milliseconds maxWait) {
  // The wait is for what the program hears of: the system's own messages (painting, its
  // helpers' notes) are handled meanwhile and do not end it.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + maxWait;
  RethrowError();
  Pump();
  RethrowError();
  for (auto left = maxWait; reports_.empty() && left.count() > 0;
       left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now())) {
    const auto ms = std::min<std::chrono::milliseconds::rep>(left.count(), INFINITE - 1);
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    Pump();
    RethrowError();
  }
  Deliver();
}

void Win32Backend::WaitForEvents(bool /*modal*/) {
  // The windows behind a modal one are disabled; the messages of all are handled alike.
  for (;;) {
    RethrowError();
    if (!reports_.empty() || Pump()) {
      RethrowError();
      Deliver();
      return;
    }
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace quorel::win32
