#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "session/cacheapi.h"
#include "support/harness.h"

namespace quorel::testing {
namespace {

using cacheapi::ConnectServer;
using cacheapi::DisconnectServer;
using cacheapi::OpenServer;
using cacheapi::Pause;
using cacheapi::ReleaseServer;

// A session whose settings are read from a command line, ready to connect.
struct Connected : Harness {
  Connected() : Harness(u"1 0 ABC pw 10.0.0.1 1972") {
    Call([&] { cacheapi::ReadSettings(session()); });
  }
  // One piece of server work: the server opened, then released.
  void Work(bool busy) {
    Call([&] {
      OpenServer(session(), busy);
      ReleaseServer(session(), busy);
    });
  }
};

TEST(ConnectServer, FirstCallConnectsWithOneObjectAndASecondCallReusesIt) {
  Connected h;
  h.Call([&] { ConnectServer(h.session()); });
  EXPECT_EQ(h.server.Created(), 1);
  EXPECT_EQ(h.server.OpenConnections(), 1);
  const auto before = h.log.Entries().size();
  const auto now = h.clock.NowMs();
  h.Call([&] { ConnectServer(h.session()); });
  EXPECT_EQ(h.server.Created(), 1);
  EXPECT_TRUE(h.Log("show").empty());
  EXPECT_EQ(h.clock.NowMs(), now);                // no pause
  EXPECT_EQ(h.log.Entries().size(), before + 1);  // just the probe
}

TEST(ConnectServer, ConnectTrueButNotConnectedCountsAsAFailedAttempt) {
  Connected h;
  h.server.QueueAnswers({{.connect = true, .isConnected = false}, {.connect = false}});
  h.screen.Click(u"FMServer", u"BUZurück");
  h.screen.Click(u"FMServer", u"BUZurück");
  h.Call([&] { ConnectServer(h.session()); });
  EXPECT_EQ(h.server.Created(), 3);
  EXPECT_EQ(h.Log("show FMServer modal").size(), 2u);
  EXPECT_EQ(h.server.OpenConnections(), 1);
  EXPECT_TRUE(h.Log("msgbox").empty());
  // Each failed attempt says why on standard error; the one that connects says nothing.
  const std::string attempt = " von 3 mit cn_iptcp:10.0.0.1[1972]:MIRLOX fehlgeschlagen: ";
  EXPECT_EQ(h.Log("stderr"),
            (std::vector<std::string>{
                "stderr: Verbindungsversuch 1" + attempt +
                    "gleich nach dem Aufbau war die Verbindung wieder getrennt",
                "stderr: Verbindungsversuch 2" + attempt + "vom Testserver abgewiesen"}));
  EXPECT_LT(h.log.IndexOf(h.Log("stderr").at(0)), h.log.IndexOf("show FMServer modal"));
}

TEST(ConnectServer, WhatTheUserTypesBetweenAttemptsDoesNotChangeTheNextAttempt) {
  Connected h;
  h.server.QueueAnswers({{.connect = false}});
  h.screen.Click(u"FMServer", u"BUEdit");
  h.screen.Answer(platform::vbYes);
  h.screen.Type(u"FMServer", u"BSERVERIP", u"192.168.7.7");
  h.screen.Click(u"FMServer", u"BUZurück");
  h.Call([&] { ConnectServer(h.session()); });
  ASSERT_EQ(h.server.ConnectStrings().size(), 2u);
  EXPECT_EQ(h.server.ConnectStrings()[0], u"cn_iptcp:10.0.0.1[1972]:MIRLOX");
  EXPECT_EQ(h.server.ConnectStrings()[1], u"cn_iptcp:10.0.0.1[1972]:MIRLOX");
  EXPECT_EQ(h.screen.TextOf(u"FMServer", u"BSERVERIP"), u"192.168.7.7");
}

TEST(ConnectServer, FinalFailureTellsTheUserHidesTheDialogAndClearsTheUser) {
  Connected h;
  h.session().Benutzer = u"ABC | Alt";
  h.server.RefuseAlways();
  h.screen.CloseBox(u"FMServer");  // hides like "Zurück"
  h.screen.Click(u"FMServer", u"BUZurück");
  h.screen.Answer(platform::vbOK);
  h.Call([&] { ConnectServer(h.session()); });
  EXPECT_EQ(h.server.Created(), 3);
  EXPECT_EQ(h.session().Benutzer, u"");
  EXPECT_TRUE(h.screen.HasWindow(u"FMServer"));
  EXPECT_FALSE(h.screen.IsVisible(u"FMServer"));
  EXPECT_EQ(h.Log("msgbox style=48").size(), 1u);
  // The object stays, not connected; opening through it fails.
  ASSERT_NE(h.session().Factory, nullptr);
  EXPECT_THROW(h.session().Factory->OpenId(u"MX.ParPersEdv", u"1||ABC"),
               platform::NotConnectedError);
}

TEST(OpenServer, BusyFlagSwitchesThePointerOnlyWhenTrue) {
  for (bool busy : {true, false}) {
    SCOPED_TRACE(busy);
    Connected h;
    h.Call([&] {
      OpenServer(h.session(), busy);
      EXPECT_FALSE(h.desktop.TimerEnabled(u"FMServer", u"Lock"));
      EXPECT_EQ(h.desktop.MousePointer(), busy ? platform::vbHourglass : platform::vbDefault);
      ReleaseServer(h.session(), busy);
    });
    EXPECT_EQ(h.server.OpenConnections(), 1);
    EXPECT_TRUE(h.desktop.TimerEnabled(u"FMServer", u"Lock"));
    EXPECT_EQ(h.Log("pointer").size(), busy ? 2u : 0u);
  }
}

TEST(IdleRelease, TheTimerDisconnectsOnce30SecondsAfterTheRelease) {
  Connected h;
  h.Work(true);
  h.Call([&] { h.desktop.DoEvents(std::chrono::milliseconds(29999)); });
  EXPECT_EQ(h.server.OpenConnections(), 1);
  h.Call([&] { h.desktop.DoEvents(std::chrono::milliseconds(1)); });
  EXPECT_EQ(h.server.OpenConnections(), 0);
  EXPECT_FALSE(h.desktop.TimerEnabled(u"FMServer", u"Lock"));
  h.Call([&] { h.desktop.DoEvents(std::chrono::minutes(5)); });
  EXPECT_EQ(h.Log("tick FMServer.Lock").size(), 1u);
  EXPECT_EQ(h.Log("server disconnect").size(), 1u);
  // The next piece of server work connects again with a new object.
  h.Call([&] { OpenServer(h.session(), true); });
  EXPECT_EQ(h.server.Created(), 2);
  EXPECT_EQ(h.server.OpenConnections(), 1);
}

TEST(IdleRelease, ServerWorkRestartsTheInterval) {
  Connected h;
  h.Work(true);
  h.Call([&] { h.desktop.DoEvents(std::chrono::seconds(20)); });
  h.Work(true);
  h.Call([&] { h.desktop.DoEvents(std::chrono::seconds(20)); });
  EXPECT_EQ(h.server.OpenConnections(), 1);
  h.Call([&] { h.desktop.DoEvents(std::chrono::seconds(10)); });
  EXPECT_EQ(h.server.OpenConnections(), 0);
}

TEST(DisconnectServer, WhenNotConnectedOnlySwitchesTheTimerOff) {
  Connected h;
  h.Call([&] { DisconnectServer(h.session()); });  // no client object yet
  h.Work(false);
  h.server.DropConnections();  // the server went away by itself
  h.log.Clear();
  h.Call([&] { DisconnectServer(h.session()); });
  EXPECT_FALSE(h.desktop.TimerEnabled(u"FMServer", u"Lock"));
  EXPECT_TRUE(h.Log("server disconnect").empty());
  h.Call([&] { h.desktop.DoEvents(std::chrono::minutes(1)); });
  EXPECT_TRUE(h.Log("tick").empty());
}

TEST(Pause, WaitsTheGivenTimeWhileProcessingEvents) {
  Connected h;
  double elapsed = -1;
  const auto start = h.clock.NowMs();
  h.Call([&] { Pause(h.session(), 100, &elapsed); });
  EXPECT_GE(elapsed, 1.0);
  EXPECT_LT(elapsed, 1.05);
  EXPECT_GE(h.clock.NowMs() - start, 1000);

  // An idle timer left running ticks during the pause.
  h.Work(false);
  h.Call([&] {
    h.desktop.DoEvents(std::chrono::milliseconds(29500));
    Pause(h.session(), 100);
  });
  EXPECT_EQ(h.server.OpenConnections(), 0);
}

// Connects that wait for the network and fail; while waiting they run what the session gave
// them to run meanwhile.
class WaitingServer final : public platform::ServerClientFactory {
 public:
  std::unique_ptr<platform::ServerClient> Create() override { return std::make_unique<Client>(); }

 private:
  class Client final : public platform::ServerClient {
   public:
    bool Connect(std::u16string_view) override {
      if (whileWaiting_) whileWaiting_();
      return false;
    }
    bool IsConnected() override { return false; }
    void Disconnect() override {}
    std::unique_ptr<platform::ServerObject> OpenId(std::u16string_view,
                                                   std::u16string_view) override {
      throw platform::NotConnectedError("nicht verbunden");
    }
    void SetWhileWaiting(const std::function<void()>& whileWaiting) override {
      whileWaiting_ = whileWaiting;
    }

   private:
    std::function<void()> whileWaiting_;
  };
};

TEST(ConnectServer, EventsGoOnWhileAConnectWaits) {
  WaitingServer server;
  Harness h(u"1 0 ABC pw 10.0.0.1 1972", "/nonexistent/quorel/registry", &server);
  h.Call([&] {
    cacheapi::ReadSettings(h.session());
    // A timer that comes due while nothing processes events.
    h.desktop.SetTimerEnabled(u"FMServer", u"Lock", true);
  });
  h.clock.SetMs(h.clock.NowMs() + 30000);
  h.screen.Click(u"FMServer", u"BUZurück");
  h.screen.Click(u"FMServer", u"BUZurück");
  h.screen.Answer(platform::vbOK);
  h.Call([&] { ConnectServer(h.session()); });
  // It ticks within the first connect, before the dialog of the first failure.
  const auto entries = h.log.Entries();
  const auto tick = std::find(entries.begin(), entries.end(), "tick FMServer.Lock");
  const auto dialog = std::find(entries.begin(), entries.end(), "show FMServer modal");
  EXPECT_LT(tick, dialog) << h.Dump();
}

TEST(Pause, ZeroOrNegativeReturnsAtOnce) {
  for (const std::int16_t hundredths : {std::int16_t{0}, std::int16_t{-1}, std::int16_t{-32768}}) {
    Connected h;
    const auto start = h.clock.NowMs();
    const auto entries = h.log.Entries().size();
    double elapsed = -1;
    h.Call([&] { Pause(h.session(), hundredths, &elapsed); });
    EXPECT_EQ(h.clock.NowMs(), start);
    EXPECT_EQ(elapsed, 0.0);
    EXPECT_EQ(h.log.Entries().size(), entries);
  }
}

TEST(Pause, EndsAtMidnightWithANegativeElapsedTime) {
  Connected h;
  h.clock.SetMs(86400LL * 1000 - 500);  // half a second before midnight
  double elapsed = 0;
  h.Call([&] { Pause(h.session(), 100, &elapsed); });
  EXPECT_LT(elapsed, 0.0);
  EXPECT_LE(h.clock.NowMs(), 86400LL * 1000 + 20);
}

}  // namespace
}  // namespace quorel::testing
