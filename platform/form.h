// What a form is made of: its window, its controls and menus as laid out at design time
// (positions in twips, 15 twips to a pixel), and the event handlers that carry its behaviour.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::platform {

inline constexpr int kTwipsPerPixel = 15;

enum class ControlKind {
  TextBox,
  Label,
  PushButton,
  CommandButton,
  PictureBox,
  Image,
  Line,
  HyperLink,
  Timer
};
enum class FrameKind { Sizable, FixedDialog };
enum class StartPosition { WindowsDefault, CenterOwner, Manual };
// What the frame's close box does when the form has no handler for it.
enum class CloseBoxAction { Unload, Hide };

struct Rgb {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Rgb&) const = default;
};

struct ControlDescription {
  ControlKind kind = ControlKind::Label;
  std::u16string name{};
  std::u16string text{};  // caption or initial text; a link's shown text
  // Left, top, width, height in twips; for a line the two end points (x1, y1, x2, y2).
  int left = 0, top = 0, width = 0, height = 0;
  int tabIndex = -1;  // -1: takes no focus
  int index = -1;     // index within a control array (-1: not an array)
  bool enabled = true;
  char16_t passwordChar = 0;  // shown instead of each character when set
  int maxLength = 0;          // characters the keyboard may enter; 0: no limit
  bool isDefault = false;     // Enter presses it
  bool isCancel = false;      // Escape presses it
  bool twoState = false;      // push button with a truth value that flips before each click
  bool initialValue = false;  // start value of a two-state button
  int interval = 0;           // timer interval in milliseconds
  bool buttonFaceBackground = false;
  std::optional<Rgb> foreColor{};  // text or line colour
  int lineWidth = 1;               // pixels
  bool autoSize = false;           // label sized to its text
  bool stretch = false;            // image stretched to the control
  bool underline = false;
  std::u16string picture{};  // resource name of a picture or icon
  std::u16string target{};   // a link's target
};

// Push buttons and command buttons: they click on Space and by their access letter.
inline bool IsButton(const ControlDescription& c) {
  return c.kind == ControlKind::PushButton || c.kind == ControlKind::CommandButton;
}

// Whether a control takes the keyboard focus (by tab order or a click): the kinds the user can
// act on or that can show a focus, when they have a tab index. Labels, images, lines and timers
// never do, whatever their tab index.
inline bool TakesFocus(const ControlDescription& c) {
  switch (c.kind) {
    case ControlKind::TextBox:
    case ControlKind::PushButton:
    case ControlKind::CommandButton:
    case ControlKind::PictureBox:
    case ControlKind::HyperLink:
      return c.tabIndex >= 0;
    default:
      return false;
  }
}

struct MenuDescription {
  std::u16string name;
  std::u16string caption;   // "-" draws a separator
  std::u16string parent;    // empty: a top-level menu
  std::u16string shortcut;  // e.g. "F1"
};

struct FormDescription {
  std::u16string name;
  std::u16string caption;
  int clientWidth = 0, clientHeight = 0;  // twips
  FrameKind frame = FrameKind::Sizable;
  StartPosition position = StartPosition::WindowsDefault;
  int left = 0, top = 0;  // twips, for StartPosition::Manual
  bool showInTaskbar = true;
  bool minButton = true, maxButton = true;
  std::u16string icon;  // resource name; empty: none of its own
  CloseBoxAction closeBox = CloseBoxAction::Unload;
  std::vector<MenuDescription> menus;
  std::vector<ControlDescription> controls;

  const ControlDescription* Control(std::u16string_view controlName) const {
    for (const auto& c : controls)
      if (c.name == controlName) return &c;
    return nullptr;
  }
};

// The event handlers of one form. Every handler runs on the user-interface thread.
class FormHandlers {
 public:
  virtual ~FormHandlers() = default;
  virtual void Load() {}
  virtual void Unload() {}
  virtual void Activate() {}
  virtual void GotFocus() {}
  virtual void Click(std::u16string_view /*control*/) {}
  virtual void LostFocus(std::u16string_view /*control*/) {}
  virtual void Timer(std::u16string_view /*timer*/) {}
  virtual void Menu(std::u16string_view /*item*/) {}
};

}  // namespace quorel::platform
