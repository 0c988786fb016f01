#include "session/login.h"

#include "session/connection.h"
#include "session/settings.h"

namespace quorel::cacheapi {

namespace {

// Closes the record also when reading it fails on the way.
struct RecordGuard {
  std::unique_ptr<platform::ServerObject> record;
  ~RecordGuard() {
    if (record) CloseObject(record);
  }
};

}  // namespace

void CloseObject(std::unique_ptr<platform::ServerObject>& object) {
  try {
    if (object) object->Call(u"sys_Close");
  } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch): closing is best effort
  }
  object.reset();
}

bool CheckLogin(Session& s) {
  bool result = false;
  ReadSettings(s);
  OpenServer(s, true);

  RecordGuard guard;
  try {
    guard.record = s.Factory->OpenId(kUserClass, s.Firma + u"||" + s.UserName);
  } catch (const platform::ObjectNotFoundError&) {
    // An unknown user code is refused like a wrong password: the user most likely mistyped,
    // and a stranger learns nothing about which codes exist.
  }
  bool accepted = false;
  if (guard.record) {
    const std::u16string password = guard.record->Property(u"PASSWORT");
    const std::u16string active = guard.record->Property(u"AKTIV");
    accepted = password == s.Passwort && active == u"J";
  }
  if (accepted) {
    s.Benutzer = s.UserName + u" | " + guard.record->Property(u"PNAME");
    result = true;
  } else {
    constexpr std::u16string_view kRefused = u"Passwort Falsch oder Benutzer nicht Aktiv";
    s.platform.diagnostics.Line(kRefused);
    s.platform.desktop.MsgBox(kRefused, platform::vbInformation, kServerTitle);
  }
  CloseObject(guard.record);
  ReleaseServer(s, true);

  s.platform.desktop.Hide(kLoginDialog);
  s.platform.desktop.Hide(kServerDialog);
  return result;
}

}  // namespace quorel::cacheapi
