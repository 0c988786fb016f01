#include <gtest/gtest.h>

#include "session/cacheapi.h"
#include "support/harness.h"

namespace quorel::testing {
namespace {

struct LoginCase {
  const char* what;
  std::u16string commandLine;
  std::u16string id;  // the record on the server
  std::u16string password, active;
  bool failSysClose;
  std::u16string benutzer;
};

TEST(CheckLogin, AcceptsTheRightPasswordOfAnActiveRecord) {
  const std::vector<LoginCase> cases = {
      {"plain", u"1 0 ABC pw", u"1||ABC", u"pw", u"J", false, u"ABC | Erika Muster"},
      {"empty password on both sides", u"1 0 ABC", u"1||ABC", u"", u"J", false,
       u"ABC | Erika Muster"},
      {"company first in the id", u"5 0 U7 pw", u"5||U7", u"pw", u"J", false, u"U7 | Erika Muster"},
      {"failing sys_Close is ignored", u"1 0 ABC pw", u"1||ABC", u"pw", u"J", true,
       u"ABC | Erika Muster"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h(c.commandLine);
    h.AddUser(c.id, c.password, c.active, u"Erika Muster");
    h.AddUser(u"U7||5", u"pw", u"J", u"Wrong Way Round");
    if (c.failSysClose) h.server.FailSysClose();
    bool accepted = false;
    h.Call([&] { accepted = cacheapi::CheckLogin(h.session()); });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(U8(h.session().Benutzer), U8(c.benutzer));
    EXPECT_TRUE(h.Log("msgbox").empty());
    EXPECT_EQ(h.Log("server call sys_Close").size(), 1u);
    EXPECT_EQ(h.Log("server release object").size(), 1u);
    // The connection stays up; the idle timer runs; both dialogs exist, hidden.
    EXPECT_EQ(h.server.OpenConnections(), 1);
    EXPECT_TRUE(h.screen.TimerRunning(u"FMServer", u"Lock"));
    EXPECT_TRUE(h.screen.HasWindow(u"FMPass"));
    EXPECT_FALSE(h.screen.IsVisible(u"FMPass"));
    EXPECT_FALSE(h.screen.IsVisible(u"FMServer"));
  }
}

TEST(CheckLogin, ReadsPasswordAndActiveFlagAlwaysAndTheNameOnlyOnSuccess) {
  Harness h(u"1 0 ABC wrong");
  h.AddUser(u"1||ABC", u"pw", u"J", u"Name");
  h.session().Benutzer = u"kept";
  h.screen.Answer(platform::vbOK);
  bool accepted = true;
  h.Call([&] { accepted = cacheapi::CheckLogin(h.session()); });
  EXPECT_FALSE(accepted);
  EXPECT_EQ(h.Log("server property"),
            (std::vector<std::string>{"server property PASSWORT", "server property AKTIV"}));
  EXPECT_EQ(h.session().Benutzer, u"kept");
}

TEST(CloseObject, ReleasesTheHandleEvenWhenClosingFails) {
  Harness h(u"1 0 ABC pw");
  h.AddUser(u"1||ABC", u"pw", u"J", u"Name");
  h.server.FailSysClose();
  h.Call([&] { cacheapi::ReadSettings(h.session()); });
  h.Call([&] { cacheapi::ConnectServer(h.session()); });
  auto record = h.session().Factory->OpenId(u"MX.ParPersEdv", u"1||ABC");
  cacheapi::CloseObject(record);
  EXPECT_EQ(record, nullptr);
  EXPECT_EQ(h.Log("server release object").size(), 1u);
  cacheapi::CloseObject(record);  // an empty handle stays empty
  EXPECT_EQ(record, nullptr);
}

}  // namespace
}  // namespace quorel::testing
