#include "forms/FMServer.h"

#include <array>

#include "session/cacheapi.h"

namespace quorel::forms {

using enum platform::ControlKind;

platform::FormDescription FMServerLayout() {
  platform::FormDescription f;
  f.name = u"FMServer";
  f.caption = u"MIRLOX Server";
  f.clientWidth = 3720;
  f.clientHeight = 1815;
  f.frame = platform::FrameKind::Sizable;
  f.position = platform::StartPosition::CenterOwner;
  f.showInTaskbar = false;
  f.icon = u"server";
  // Closing the window hides it like "Zurück", so the loaded settings stay in its fields.
  f.closeBox = platform::CloseBoxAction::Hide;
  const std::u16string address(cacheapi::kDefaultServerIP);
  // clang-format off
  f.controls = {
    {.kind = TextBox,    .name = u"BPORT",      .text = u"1973",     .left = 3120, .top = 120,  .width = 495,  .height = 285, .tabIndex = 0,  .enabled = false, .buttonFaceBackground = true},
    {.kind = TextBox,    .name = u"BSERVERIP",  .text = address,     .left = 1080, .top = 120,  .width = 1455, .height = 285, .tabIndex = 1,  .enabled = false, .buttonFaceBackground = true},
    {.kind = TextBox,    .name = u"BFIRMA",     .text = u"1",        .left = 1080, .top = 480,  .width = 375,  .height = 285, .tabIndex = 2,  .enabled = false, .buttonFaceBackground = true},
    {.kind = TextBox,    .name = u"BFIL",       .text = u"0",        .left = 2160, .top = 480,  .width = 375,  .height = 285, .tabIndex = 3,  .enabled = false, .buttonFaceBackground = true},
    {.kind = Label,      .name = u"Label6",     .text = u"Port:",    .left = 2640, .top = 165,  .width = 615,  .height = 255, .tabIndex = 4},
    {.kind = PushButton, .name = u"BUEdit",     .text = u"Ändern",   .left = 120,  .top = 1320, .width = 1695, .height = 375, .tabIndex = 5,  .twoState = true, .initialValue = true, .picture = u"edit"},
    {.kind = PushButton, .name = u"BUZurück",   .text = u"Zurück",   .left = 1920, .top = 1320, .width = 1695, .height = 375, .tabIndex = 6,  .isDefault = true, .picture = u"back"},
    {.kind = Label,      .name = u"Label4",     .text = u"ServerIP:", .left = 360, .top = 165,  .width = 615,  .height = 255, .tabIndex = 7},
    {.kind = Label,      .name = u"Label2",     .text = u"Filiale:", .left = 1680, .top = 525,  .width = 495,  .height = 255, .tabIndex = 8},
    {.kind = Label,      .name = u"Label1",     .text = u"Firma:",   .left = 600,  .top = 525,  .width = 495,  .height = 255, .tabIndex = 9},
    {.kind = TextBox,    .name = u"BNAMESPACE", .text = u"MIRLOX",   .left = 1080, .top = 840,  .width = 1455, .height = 285, .tabIndex = 10, .enabled = false, .buttonFaceBackground = true},
    {.kind = Label,      .name = u"Label3",     .text = u"Namespace:", .left = 120, .top = 885, .width = 900,  .height = 195, .tabIndex = 11, .autoSize = true},
    {.kind = Timer,      .name = u"Lock",       .text = u"",         .enabled = false, .interval = 30000},
  };
  // clang-format on
  return f;
}

namespace {

constexpr std::array<std::u16string_view, 5> kFields{u"BPORT", u"BSERVERIP", u"BFIRMA", u"BFIL",
                                                     u"BNAMESPACE"};

}  // namespace

void FMServer::Click(std::u16string_view control) {
  platform::Desktop& desktop = session_.platform.desktop;
  platform::Form self(desktop, u"FMServer");
  if (control == u"BUEdit") {
    // The button's value flips before each click: true here means the fields are open.
    if (self.Value(u"BUEdit")) {
      for (auto field : kFields)
        self.SetEnabled(field, false);
      return;
    }
    if (desktop.MsgBox(u"Änderungen erlauben?", platform::vbYesNo, cacheapi::kServerTitle) ==
        platform::vbYes) {
      for (auto field : kFields)
        self.SetEnabled(field, true);
    } else {
      self.SetValue(u"BUEdit", true);
    }
  } else if (control == u"BUZurück") {
    self.Hide();
  }
}

void FMServer::Timer(std::u16string_view timer) {
  if (timer == cacheapi::kIdleTimer) cacheapi::DisconnectServer(session_);
}

}  // namespace quorel::forms
