#include "forms/FMPass.h"

#include "platform/text.h"
#include "session/cacheapi.h"

namespace quorel::forms {

using enum platform::ControlKind;

platform::FormDescription FMPassLayout() {
  platform::FormDescription f;
  f.name = u"FMPass";
  f.caption = u"MIRLOX Benutzeranmeldung";
  f.clientWidth = 3750;
  f.clientHeight = 1410;
  f.frame = platform::FrameKind::FixedDialog;
  f.minButton = f.maxButton = false;
  f.position = platform::StartPosition::CenterOwner;
  f.showInTaskbar = false;
  f.icon = u"login";
  // clang-format off
  f.controls = {
    {.kind = TextBox,    .name = u"BUSER",     .text = u"",         .left = 2160, .top = 120, .width = 1455, .height = 285, .tabIndex = 0, .maxLength = 20},
    {.kind = TextBox,    .name = u"BPASSWORT", .text = u"",         .left = 2160, .top = 525, .width = 1455, .height = 285, .tabIndex = 1, .passwordChar = u'*', .maxLength = 20},
    {.kind = PushButton, .name = u"BUSpeich",  .text = u"Anmelden", .left = 120,  .top = 960, .width = 1695, .height = 375, .tabIndex = 2, .isDefault = true, .picture = u"ok"},
    {.kind = Label,      .name = u"Label3",    .text = u"Passwort:", .left = 1320, .top = 540, .width = 735, .height = 255, .tabIndex = 3},
    {.kind = PushButton, .name = u"BUAusst",   .text = u"Abbruch",  .left = 1920, .top = 960, .width = 1695, .height = 375, .tabIndex = 4, .isCancel = true, .picture = u"cancel"},
    {.kind = PushButton, .name = u"BUServer",  .text = u"Server",   .left = 120,  .top = 480, .width = 1095, .height = 375, .tabIndex = 5, .picture = u"server"},
    {.kind = Label,      .name = u"Label5",    .text = u"User(VAZ Personalcode):", .left = 120, .top = 165, .width = 1935, .height = 255, .tabIndex = 6},
  };
  // clang-format on
  return f;
}

void FMPass::Activate() {
  // The cursor stands in the password field whenever the dialog comes to the front.
  session_.platform.desktop.SetFocus(u"FMPass", u"BPASSWORT");
}

void FMPass::GotFocus() {
  Activate();
}

void FMPass::LostFocus(std::u16string_view control) {
  if (control != u"BUSER") return;
  platform::Form self(session_.platform.desktop, u"FMPass");
  self.SetText(u"BUSER", text::UpperCase(self.Text(u"BUSER")));
}

void FMPass::Click(std::u16string_view control) {
  platform::Desktop& desktop = session_.platform.desktop;
  if (control == u"BUSpeich") {
    Store();
  } else if (control == u"BUAusst") {
    session_.Benutzer.clear();
    desktop.Unload(u"FMPass");
  } else if (control == u"BUServer") {
    desktop.Show(u"FMServer", platform::ShowMode::Modal, u"FMPass");
  }
}

void FMPass::Store() {
  platform::Desktop& desktop = session_.platform.desktop;
  platform::SettingsStore& store = session_.platform.store;
  platform::Form self(desktop, u"FMPass");
  platform::Form server(desktop, u"FMServer");
  auto save = [&](std::u16string_view key, const std::u16string& value) {
    store.SaveSetting(cacheapi::kStoreApp, cacheapi::kStoreSection, key, value);
  };
  save(u"Firma", server.Text(u"BFIRMA"));
  save(u"Filiale", server.Text(u"BFIL"));
  save(u"Name", self.Text(u"BUSER"));
  save(u"Passwort", cacheapi::ScramblePassword(self.Text(u"BPASSWORT")));
  save(u"Server", server.Text(u"BSERVERIP"));
  save(u"Port", server.Text(u"BPORT"));
  save(u"Namespace", server.Text(u"BNAMESPACE"));
  store.Flush();
  desktop.DoEvents();
  self.Hide();
}

}  // namespace quorel::forms
