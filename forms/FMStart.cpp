#include "forms/FMStart.h"

#include "forms/exit_status.h"
#include "session/cacheapi.h"

namespace quorel::forms {


platform::FormDescription FMStartLayout() {
  platform::FormDescription f;
  f.name = u"FMStart";
  f.caption = u"MIRLOX";
  f.clientWidth = 9420;
  f.clientHeight = 6180;
  f.frame = platform::FrameKind::Sizable;
  f.position = platform::StartPosition::WindowsDefault;
  // clang-format off
  f.menus = {
      // name           caption               parent     shortcut
      {u"Datei",        u"&Datei",            u"",       u""},
      {u"mLogin",       u"&Login",            u"Datei",  u""},
      {u"nil",          u"-",                 u"Datei",  u""},
      {u"Beenden",      u"&Beenden",          u"Datei",  u""},
      {u"Hilfe",        u"&Hilfe",            u"",       u""},
      {u"HilfeUeber",   u"Hilfe &über ...",   u"Hilfe",  u"F1"},
  };
  // clang-format on
  return f;
}

void FMStart::Load() {
  if (!cacheapi::CheckLogin(session_)) {
    exitStatus_ = kExitRefused;
    Unload();  // disconnects and ends the program; the window is never shown
    return;
  }
  session_.platform.desktop.SetCaption(
      u"FMStart", u"MIRLOX Quorel              Firma: " + session_.Firma + u"     Filiale: " +
                      session_.Filiale + u"     Benutzer: " + session_.Benutzer);
}

void FMStart::Unload() {
  cacheapi::DisconnectServer(session_);
  session_.platform.desktop.End(exitStatus_);
}

void FMStart::Menu(std::u16string_view item) {
  platform::Desktop& desktop = session_.platform.desktop;
  if (item == u"mLogin") {
    desktop.Show(u"FMPass", platform::ShowMode::Modeless, u"FMStart");
  } else if (item == u"Beenden") {
    desktop.Unload(u"FMStart");
  } else if (item == u"HilfeUeber") {
    desktop.Show(u"frmAbout");
  }
}

}  // namespace quorel::forms
