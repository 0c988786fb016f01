#include <gtest/gtest.h>

#include "forms/exit_status.h"
#include "session/cacheapi.h"
#include "support/harness.h"

namespace quorel::testing {
namespace {

using platform::vbOK;

const std::u16string kDefaultIP(cacheapi::kDefaultServerIP);

TEST(Startup, EmptyStoreAsksForTheLoginStoresItAndLogsIn) {
  Harness h;
  h.AddUser(u"1||ABC", u"pw", u"J", u"Jürgen Müller");
  h.screen.Check("the login dialog before the main window", [&] {
    EXPECT_TRUE(h.screen.IsModal(u"FMPass"));
    EXPECT_FALSE(h.screen.IsVisible(u"FMStart"));
  });
  h.screen.Type(u"FMPass", u"BUSER", u"abc");
  h.screen.Type(u"FMPass", u"BPASSWORT", u"pw");
  h.screen.Click(u"FMPass", u"BUSpeich");
  h.screen.Check("the main window is shown", [&] {
    EXPECT_TRUE(h.screen.IsVisible(u"FMStart"));
    EXPECT_EQ(
        U8(h.screen.CaptionOf(u"FMStart")),
        "MIRLOX Quorel              Firma: 1     Filiale: 0     Benutzer: ABC | Jürgen Müller");
    EXPECT_FALSE(h.screen.IsVisible(u"FMPass"));
    EXPECT_FALSE(h.screen.IsVisible(u"FMServer"));
    EXPECT_EQ(h.screen.Pointer(), platform::vbDefault);
  });
  h.screen.ChooseMenu(u"FMStart", u"Beenden");
  EXPECT_EQ(h.Run(), forms::kExitNormal) << h.Dump();

  using W = headless::MemoryStore::Write;
  const auto scrambled = cacheapi::ScramblePassword(u"pw");
  EXPECT_EQ(h.store.Writes(),
            (std::vector<W>{{u"Cache Login", u"Login", u"Firma", u"1"},
                            {u"Cache Login", u"Login", u"Filiale", u"0"},
                            {u"Cache Login", u"Login", u"Name", u"ABC"},
                            {u"Cache Login", u"Login", u"Passwort", scrambled},
                            {u"Cache Login", u"Login", u"Server", kDefaultIP},
                            {u"Cache Login", u"Login", u"Port", u"1973"},
                            {u"Cache Login", u"Login", u"Namespace", u"MIRLOX"}}));
  EXPECT_EQ(h.server.ConnectStrings(),
            std::vector<std::u16string>{u"cn_iptcp:" + kDefaultIP + u"[1973]:MIRLOX"});
  EXPECT_TRUE(h.Log("stderr").empty()) << h.Dump();
}

struct Refusal {
  const char* what;
  std::u16string password;  // typed
  bool hasRecord;
  std::u16string recordPassword;
  std::u16string active;
};

TEST(Startup, RefusedLoginTellsTheUserAndEndsWithoutTheMainWindow) {
  const std::vector<Refusal> cases = {
      {"wrong password", u"falsch", true, u"richtig", u"J"},
      {"inactive j", u"richtig", true, u"richtig", u"j"},
      {"inactive empty", u"richtig", true, u"richtig", u""},
      {"password case differs", u"Richtig", true, u"richtig", u"J"},
      {"unknown user", u"richtig", false, u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h(u"1 0 ABC " + c.password);
    if (c.hasRecord) h.AddUser(u"1||ABC", c.recordPassword, c.active, u"Name");
    h.screen.Answer(vbOK);
    EXPECT_EQ(h.Run(), forms::kExitRefused) << h.Dump();

    const int message = h.log.IndexOf(
        "msgbox style=64 title=Anmeldung an Caché: Passwort Falsch oder Benutzer nicht Aktiv");
    ASSERT_GE(message, 0) << h.Dump();
    EXPECT_EQ(h.Log("stderr"),
              std::vector<std::string>{"stderr: Passwort Falsch oder Benutzer nicht Aktiv"});
    // The busy pointer is still set while the message is up, and reset only afterwards.
    EXPECT_EQ(h.Log("pointer"), (std::vector<std::string>{"pointer 11", "pointer 0"}));
    EXPECT_LT(h.log.IndexOf("pointer 11"), message);
    EXPECT_GT(h.log.IndexOf("pointer 0"), message);
    if (c.hasRecord) {
      // The record is closed and released before the server is released.
      EXPECT_LT(h.log.IndexOf("server call sys_Close"), h.log.IndexOf("server release object"));
      EXPECT_LT(h.log.IndexOf("server release object"), h.log.IndexOf("pointer 0"));
    }
    EXPECT_EQ(h.session().Benutzer, u"");
    EXPECT_EQ(h.log.IndexOf("show FMStart modeless"), -1);
    EXPECT_EQ(h.Log("server disconnect").size(), 1u);
    EXPECT_EQ(h.server.OpenConnections(), 0);
    EXPECT_FALSE(h.screen.HasWindow(u"FMPass"));
  }
}

TEST(Startup, ServerThatNeverAnswersEndsAfterThreeAttempts) {
  Harness h(u"1 0 ABC pw 10.0.0.99 1972");
  h.server.RefuseAlways();
  h.AddUser(u"1||ABC", u"pw", u"J", u"Name");
  h.screen.Check("dialog after attempt 1", [&] {
    EXPECT_TRUE(h.screen.IsModal(u"FMServer"));
    EXPECT_EQ(h.screen.OwnerOf(u"FMServer"), u"");
    EXPECT_EQ(h.server.Created(), 1);
  });
  h.screen.Click(u"FMServer", u"BUZurück");
  h.screen.Check("dialog after attempt 2", [&] { EXPECT_EQ(h.server.Created(), 2); });
  h.screen.PressEnter(u"FMServer");
  h.screen.Answer(vbOK);
  const std::int64_t start = h.clock.NowMs();
  EXPECT_EQ(h.Run(), forms::kExitNoConnection) << h.Dump();

  EXPECT_EQ(h.Log("show FMServer modal").size(), 2u);
  EXPECT_EQ(h.Log("msgbox"),
            (std::vector<std::string>{"msgbox style=48 title=Anmeldung an Caché: Server nach 3 "
                                      "Versuchen nicht erreichbar!\r\nAbbruch"}));
  // Standard error has why each attempt failed, and the message as one line, before the box.
  const std::string attempt = " von 3 mit cn_iptcp:10.0.0.99[1972]:MIRLOX fehlgeschlagen: ";
  EXPECT_EQ(h.Log("stderr"),
            (std::vector<std::string>{
                "stderr: Verbindungsversuch 1" + attempt + "vom Testserver abgewiesen",
                "stderr: Verbindungsversuch 2" + attempt + "vom Testserver abgewiesen",
                "stderr: Verbindungsversuch 3" + attempt + "vom Testserver abgewiesen",
                "stderr: Server nach 3 Versuchen nicht erreichbar! Abbruch"}));
  EXPECT_LT(h.log.IndexOf("stderr: Server nach 3 Versuchen nicht erreichbar! Abbruch"),
            h.log.IndexOf(h.Log("msgbox").at(0)));
  // Two pauses of one second each.
  EXPECT_GE(h.clock.NowMs() - start, 2000);
  EXPECT_LT(h.clock.NowMs() - start, 2100);
  EXPECT_FALSE(h.screen.HasWindow(u"FMStart"));
}

TEST(Startup, UnforeseenFailureIsShownAndEndsTheProgram) {
  Harness h(u"1 0 ABC pw");
  h.server.AddRecord(u"1||ABC", {{u"PASSWORT", u"pw"}});  // no AKTIV property
  h.screen.Answer(vbOK);
  EXPECT_EQ(h.Run(), forms::kExitFailure) << h.Dump();
  const auto boxes = h.Log("msgbox");
  ASSERT_EQ(boxes.size(), 1u) << h.Dump();
  EXPECT_TRUE(boxes[0].starts_with("msgbox style=16 title=Quorel: Quorel wird wegen"));
  EXPECT_NE(boxes[0].find("AKTIV"), std::string::npos);
  EXPECT_EQ(h.Log("stderr"), std::vector<std::string>{
                                 "stderr: Quorel wird wegen eines unerwarteten Fehlers beendet: "
                                 "Eigenschaft nicht gefunden: AKTIV"});
  EXPECT_FALSE(h.screen.HasWindow(u"FMStart"));
  EXPECT_LT(h.log.IndexOf("server call sys_Close"), h.log.IndexOf("server release object"));
}

TEST(Startup, OverlongCommandLineIsShownAsAnError) {
  Harness h(std::u16string(300, u'x'));
  h.screen.Answer(vbOK);
  EXPECT_EQ(h.Run(), forms::kExitFailure) << h.Dump();
  ASSERT_EQ(h.Log("msgbox").size(), 1u);
  EXPECT_NE(h.Log("msgbox")[0].find("Überlauf"), std::string::npos);
}

}  // namespace
}  // namespace quorel::testing
