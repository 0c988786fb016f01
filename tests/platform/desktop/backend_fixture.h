// The fixture of the tests every desktop backend must pass (backend_suites.h,
// backend_input_suites.h): the real layouts built by the backend under test, a user acting on
// its windows and what it reports, recorded. Each backend's test program supplies a Driver that
// owns the backend and plays its user.
//
// Every driver (the in-memory desktop's too):
//   <its backend type> backend;
//   std::int64_t NowMs();                       milliseconds on the clock the backend waits on
//   void Settle();                              until what the user did so far is handled
//   bool IsActive(form), IsVisible(form);
//   bool HasKeyboardFocus(form, control);       the keys go there now
//   void CloseBox(form);                        the user clicks the window's close box
// Drivers of real windows further:
//   int Scaled(int px);                         a length of the layouts at the DPI run with
//   Rect Frame(form), Client(form), WorkArea(form);  on the screen, frame included or not
//   Rect ControlBox(form, control);             in the client area
//   void Move(form, x, y);                      the frame's top left corner
//   Look LookOf(form); std::u16string Caption(form), OwnerOf(form) (empty: none);
//   bool HasWindow(form), IsMinimized(form), IsBlocked(form) (a modal window takes its input);
//   void Minimize(form), Activate(form) (the user brings it to the front, as a click on it does);
//   bool TitleBarActive(form);                  the window system shows it as the active window
//   void Key(UserKey), Alt(char16_t letter), Type(text), Paste(text), Click(form, control);
//   void AltGrQ();                              AltGr+Q: "@" on the German keyboard
//   bool IsEnabled(form, control), LooksDefault(form, button);
//   std::u16string DisplayedText(form, control);
//   std::uint32_t ButtonFace();                 0xRRGGBB as drawn
//   Shot Grab(form, control);                   the control as drawn
//   void PointAt(form, control); Pointer PointerNow();
//   GuiUser user;                               steps that wait for their moment; Drive(code)
//   void OnMessageBox(what, BoxAnswer, BoxSeen&);   a step that answers the next message box
//   std::u16string AccessibleName(form, control);
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop/backend.h"
#include "platform/form.h"
#include "platform/text.h"
#include "support/backend_recorder.h"

namespace quorel::testing::backend {

using platform::FormDescription;
using platform::desktop::kNoWindow;
using platform::desktop::WindowId;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

enum class UserKey { Enter, KeypadEnter, Escape, F1, Tab, BackTab, Space, Backspace, End };
enum class Pointer { Arrow, IBeam, Hourglass, Other };
enum class BoxIcon { None, Information, Warning, Critical, Question };

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  // How far the centres lie apart, across plus down, in half pixels.
  int CentreDistance(const Rect& other) const {
    return std::abs(2 * left + width - 2 * other.left - other.width) +
           std::abs(2 * top + height - 2 * other.top - other.height);
  }
};

// A control as drawn: 0xRRGGBB, row by row.
struct Shot {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// The frame of a window as the user sees it.
struct Look {
  bool resizable = false, maximizeBox = false, closeBox = false;
  bool inTaskBar = false;  // shown without owner
  bool ownIcon = false;    // not only the program's
  bool operator==(const Look&) const = default;
};

inline void PrintTo(const Look& l, std::ostream* out) {
  *out << "resizable=" << l.resizable << " maximizeBox=" << l.maximizeBox
       << " closeBox=" << l.closeBox << " inTaskBar=" << l.inTaskBar << " ownIcon=" << l.ownIcon;
}

// How the user answers a message box: a click on the button with that text, a key, a letter
// (the access letter of a button) or the box's close box.
struct BoxAnswer {
  enum Kind { Button, Key, Letter, CloseBox } kind = Button;
  std::u16string button;
  UserKey key = UserKey::Enter;
  char16_t letter = 0;

  static BoxAnswer Click(std::u16string button) { return {Button, std::move(button), {}, 0}; }
  static BoxAnswer Press(UserKey key) { return {Key, {}, key, 0}; }
  static BoxAnswer Access(char16_t letter) { return {Letter, {}, {}, letter}; }
  static BoxAnswer Close() { return {CloseBox, {}, {}, 0}; }
};

// What a message box showed: line breaks as "\n", buttons sorted without access marks.
struct BoxSeen {
  std::u16string title, text;
  BoxIcon icon = BoxIcon::None;
  std::vector<std::u16string> buttons;
  std::u16string owner;  // the form it belongs to
  bool ownerBlocked = false;
};

inline std::string U8(std::u16string_view s) {
  return text::ToUtf8(s);
}

// Repeated reports of one activation collapsed into one: window managers may hand the
// activation on more than once, and the window semantics take that alike.
inline Lines Collapsed(Lines lines) {
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  return lines;
}

template <class Driver>
class BackendTest : public ::testing::Test {
 protected:
  BackendTest() { driver.backend.SetEvents(events); }

  auto& backend() { return driver.backend; }

  WindowId Create(const FormDescription& form) {
    const WindowId id = backend().CreateWindow(form);
    events.Name(id, U8(form.name));
    return id;
  }
  // Shows the window and waits until it is the active one.
  WindowId Shown(const FormDescription& form, WindowId owner = kNoWindow, bool modal = false) {
    const WindowId id = Create(form);
    backend().ShowWindow(id, owner, modal);
    EXPECT_TRUE(Active(form.name)) << U8(form.name) << " did not get active";
    return id;
  }
  bool Active(std::u16string_view form) {
    return Until([&] { return driver.IsActive(form); });
  }
  // Handles events until done() holds, at most ms milliseconds; tells whether it came.
  bool Until(const std::function<bool()>& done, int ms = 5000) {
    const std::int64_t end = driver.NowMs() + ms;
    while (!done()) {
      if (driver.NowMs() > end) return false;
      backend().ProcessEvents(10ms);
    }
    return true;
  }
  // Handles events for ms milliseconds: for what must not happen in that time.
  void Idle(int ms) {
    const std::int64_t end = driver.NowMs() + ms;
    while (driver.NowMs() < end)
      backend().ProcessEvents(10ms);
  }
  // Runs show() while the user answers the message box it shows.
  int AnswerMessageBox(const std::function<int()>& show, const BoxAnswer& answer, BoxSeen& seen) {
    driver.OnMessageBox("answer", answer, seen);
    return driver.user.Drive(show);
  }
  // The inside of a field as drawn, right of its text.
  std::uint32_t Background(std::u16string_view form, std::u16string_view control) {
    const Shot shot = driver.Grab(form, control);
    return shot.At(shot.width - 5, shot.height / 2);
  }
  // The reports since the last call, once at least atLeast have come and the user's input so
  // far is handled.
  Lines Take(std::size_t atLeast = 0) {
    Until([&] { return events.Count() >= atLeast; });
    driver.Settle();
    return events.Take();
  }

  Driver driver;
  BackendRecorder events;
};

}  // namespace quorel::testing::backend
