// PostgreSQL: the shared suites, and what only a server can do (be absent, never answer,
// restart, drop a session, end an idle session, count statements, hold a lock).
// The cluster comes from scripts/with-postgres.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "engine_suites.h"
#include "platform/sql/postgres_client.h"
#include "platform/sql/server_factory.h"
#include "platform/text.h"
#include "sql_test_support.h"

namespace quorel::sql::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct PostgresEngine {
  static constexpr char kNoSuchTable[] = "does not exist";

  void SetUp() { RequireCluster(); }
  platform::ServerClientFactory& Factory() { return *factory; }
  std::u16string Host() { return u"127.0.0.1"; }
  std::u16string Port() { return text::FromUtf8(ClusterPort()); }
  long RowCount() {
    PgAdmin admin;
    const std::string count = admin.Scalar(R"(SELECT count(*) FROM "MX"."ParPersEdv")");
    return count.empty() ? -1 : std::stol(count);
  }

  std::unique_ptr<platform::ServerClientFactory> factory = CreateServerClientFactory("postgresql");
};

INSTANTIATE_TYPED_TEST_SUITE_P(PostgresClient, Client, PostgresEngine);
INSTANTIATE_TYPED_TEST_SUITE_P(PostgresLogin, Login, PostgresEngine);

class PostgresServer : public ::testing::Test {
 protected:
  void SetUp() override { RequireCluster(); }

  static std::u16string ConnectString(const std::string& port, const char* database = "MIRLOX") {
    return text::FromUtf8("cn_iptcp:127.0.0.1[" + port + "]:" + database);
  }
  static PostgresClient* ClientOf(Harness& h) {
    return dynamic_cast<PostgresClient*>(h.session().Factory.get());
  }
  // The program logged in with ABC, connected, the idle timer running.
  static void LogIn(Harness& h) {
    bool accepted = false;
    h.Call([&] {
      cacheapi::ReadSettings(h.session());
      accepted = cacheapi::CheckLogin(h.session());
    });
    ASSERT_TRUE(accepted) << h.Dump();
  }

  PostgresEngine engine;
};

TEST_F(PostgresServer, NoServerOnThePortEndsTheProgramAfterThreeQuickAttempts) {
  const std::string port = std::to_string(FreePort());
  CountingFactory factory(engine.Factory());
  Harness h(text::FromUtf8("1 0 ABC pw 127.0.0.1 " + port), "/nonexistent/quorel/registry",
            &factory);
  AnswerThreeFailedAttempts(h);
  const auto start = Clock::now();
  EXPECT_EQ(h.Run(), forms::kExitNoConnection) << h.Dump();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  ExpectThreeFailedAttempts(h, factory.created());
  ASSERT_NE(ClientOf(h), nullptr);
  EXPECT_NE(ClientOf(h)->LastError().find("refused"), std::string::npos)
      << ClientOf(h)->LastError();
}

TEST_F(PostgresServer, AListenerThatNeverAnswersCostsEachAttemptTheConnectTimeout) {
  ScopedEnv timeout("PGCONNECT_TIMEOUT", "1");
  SilentListener listener;
  ASSERT_NE(listener.port(), 0);
  CountingFactory factory(engine.Factory());
  Harness h(text::FromUtf8("1 0 ABC pw 127.0.0.1 " + std::to_string(listener.port())),
            "/nonexistent/quorel/registry", &factory);
  AnswerThreeFailedAttempts(h);
  const auto start = Clock::now();
  EXPECT_EQ(h.Run(), forms::kExitNoConnection) << h.Dump();
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, milliseconds(3000));
  EXPECT_LT(elapsed, milliseconds(4500));
  ExpectThreeFailedAttempts(h, factory.created());
  EXPECT_NE(ClientOf(h)->LastError().find("Zeitüberschreitung"), std::string::npos)
      << ClientOf(h)->LastError();
}

TEST_F(PostgresServer, ConnectFailuresKeepTheServersWords) {
  struct Case {
    const char* what;
    std::optional<std::string> password;
    const char* database;
    const char* words;
  };
  const std::vector<Case> cases = {
      {"wrong password", "falsch", "MIRLOX", "password authentication failed"},
      {"no password", std::nullopt, "MIRLOX", "no password supplied"},
      {"unknown database", std::getenv("PGPASSWORD"), "NICHTDA", "does not exist"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedEnv password("PGPASSWORD", c.password);
    ScopedEnv passfile("PGPASSFILE", "/nonexistent/pgpass");
    PostgresClient client;
    EXPECT_FALSE(client.Connect(ConnectString(ClusterPort(), c.database)));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_NE(client.LastError().find(c.words), std::string::npos) << client.LastError();
  }
}

// "localhost" is looked up by the program (::1 refuses, 127.0.0.1 answers); libpq still matches
// the password file by the name.
TEST_F(PostgresServer, AHostNameIsLookedUpAndThePasswordFileMatchesTheName) {
  TempDir dir;
  const std::string passfile = dir.path() + "/pgpass";
  std::ofstream(passfile) << "localhost:" << ClusterPort() << ":MIRLOX:" << std::getenv("PGUSER")
                          << ":" << std::getenv("PGPASSWORD") << "\n";
  chmod(passfile.c_str(), 0600);
  ScopedEnv password("PGPASSWORD", std::nullopt);
  ScopedEnv file("PGPASSFILE", passfile);
  PostgresClient client;
  EXPECT_TRUE(client.Connect(text::FromUtf8("cn_iptcp:localhost[" + ClusterPort() + "]:MIRLOX")))
      << client.LastError();
  EXPECT_TRUE(client.IsConnected());
  PostgresClient byAddress;
  EXPECT_FALSE(byAddress.Connect(ConnectString(ClusterPort())));
  EXPECT_NE(byAddress.LastError().find("no password supplied"), std::string::npos)
      << byAddress.LastError();
}

TEST_F(PostgresServer, AfterTheServerWentAwayIsConnectedSaysSoAndTheProgramReconnects) {
  const char* ctl = std::getenv("QUOREL_PG_CTL");
  struct Case {
    const char* what;
    std::function<void(int pid)> goAway;
  };
  const std::vector<Case> cases = {
      {"session ended by the server",
       [](int pid) {
         PgAdmin admin;
         EXPECT_EQ(admin.Scalar("SELECT pg_terminate_backend(" + std::to_string(pid) + ")"), "t");
       }},
      {"server restarted",
       [ctl](int) {
         const std::string command = std::string(ctl) + " restart -m fast >/dev/null";
         ASSERT_EQ(std::system(command.c_str()), 0) << command;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CountingFactory factory(engine.Factory());
    Harness h(u"1 0 ABC pw " + engine.Host() + u" " + engine.Port(), "/nonexistent/quorel/registry",
              &factory);
    ASSERT_NO_FATAL_FAILURE(LogIn(h));
    const int pid = ClientOf(h)->BackendPid();
    ASSERT_NE(pid, 0);
    ASSERT_NO_FATAL_FAILURE(c.goAway(pid));

    // The session ends a moment after the server decided so; each check is instant.
    bool connected = true;
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (connected && Clock::now() < deadline) {
      const auto start = Clock::now();
      connected = h.session().Factory->IsConnected();
      EXPECT_LT(Clock::now() - start, milliseconds(100));
      if (connected) std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_FALSE(connected);

    ASSERT_NO_FATAL_FAILURE(LogIn(h));
    EXPECT_EQ(factory.created(), 2);
    EXPECT_NE(ClientOf(h)->BackendPid(), pid);
    EXPECT_TRUE(h.Log("show FMServer").empty()) << h.Dump();
  }
}

TEST_F(PostgresServer, ThirtySecondsAfterTheLastServerWorkTheSessionIsGoneFromTheServer) {
  PgAdmin admin;
  Harness h(u"1 0 ABC pw " + engine.Host() + u" " + engine.Port(), "/nonexistent/quorel/registry",
            &engine.Factory());
  int pid = 0;
  const auto sessions = [&] {
    return admin.Scalar("SELECT count(*) FROM pg_stat_activity WHERE pid = " + std::to_string(pid));
  };
  h.screen.Check("logged in", [&] {
    ASSERT_NE(ClientOf(h), nullptr);
    pid = ClientOf(h)->BackendPid();
    EXPECT_NE(pid, 0);
    EXPECT_EQ(sessions(), "1");
  });
  h.screen.Wait(milliseconds(29999));
  h.screen.Check("just before the tick", [&] { EXPECT_EQ(sessions(), "1"); });
  h.screen.Wait(milliseconds(1));
  h.screen.Check("after the tick", [&] {
    EXPECT_EQ(h.Log("tick FMServer.Lock").size(), 1u);
    EXPECT_TRUE(SessionEnds(admin, pid, std::chrono::seconds(5)));
    EXPECT_FALSE(h.session().Factory->IsConnected());
  });
  h.screen.CloseBox(u"FMStart");
  EXPECT_EQ(h.Run(), forms::kExitNormal) << h.Dump();
}

TEST_F(PostgresServer, DisconnectAndDestructionEndTheSessionOnTheServer) {
  PgAdmin admin;
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroyed" : "disconnected");
    auto client = std::make_unique<PostgresClient>();
    ASSERT_TRUE(client->Connect(ConnectString(ClusterPort())));
    const int pid = client->BackendPid();
    ASSERT_EQ(
        admin.Scalar("SELECT count(*) FROM pg_stat_activity WHERE pid = " + std::to_string(pid)),
        "1");
    if (destroy)
      client.reset();
    else
      client->Disconnect();
    EXPECT_TRUE(SessionEnds(admin, pid, std::chrono::seconds(5)));
  }
}

TEST_F(PostgresServer, ALoginCheckIsOneStatementOnTheServer) {
  PgAdmin admin;
  ASSERT_EQ(admin.Scalar("SELECT count(*) FROM pg_extension WHERE extname = 'pg_stat_statements'"),
            "1")
      << "the cluster lacks pg_stat_statements";
  admin.Exec("SELECT pg_stat_statements_reset()");
  {
    auto client = engine.Factory().Create();
    ASSERT_TRUE(client->Connect(ConnectString(ClusterPort())));
    for (int i = 0; i < 3; ++i)
      ASSERT_TRUE(client->IsConnected());
    auto record = client->OpenId(u"MX.ParPersEdv", u"1||ABC");
    for (const char16_t* name : {u"PASSWORT", u"AKTIV", u"PNAME"})
      record->Property(name);
    record->Call(u"sys_Close");
    client->Disconnect();
  }
  EXPECT_EQ(admin.Column("SELECT calls || ' ' || query FROM pg_stat_statements "
                         "WHERE query NOT LIKE '%pg_stat_statements%'"),
            std::vector<std::string>{R"(1 SELECT * FROM "MX"."ParPersEdv" WHERE "ID" = $1)"});
}

TEST_F(PostgresServer, AStatementTheServerDoesNotAnswerEndsAtTheQueryTimeout) {
  PgAdmin locker;
  PostgresClient client(PostgresOptions{.connectTimeout = {}, .queryTimeout = milliseconds(500)});
  ASSERT_TRUE(client.Connect(ConnectString(ClusterPort())));
  locker.Exec(R"(BEGIN; LOCK TABLE "MX"."ParPersEdv" IN ACCESS EXCLUSIVE MODE)");
  const auto start = Clock::now();
  try {
    client.OpenId(u"MX.ParPersEdv", u"1||ABC");
    ADD_FAILURE() << "read through an exclusive lock";
  } catch (const platform::NotConnectedError& e) {
    ADD_FAILURE() << "reported as not connected: " << e.what();
  } catch (const platform::ServerError& e) {
    EXPECT_NE(std::string(e.what()).find("Zeitüberschreitung"), std::string::npos) << e.what();
  }
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, milliseconds(450));
  EXPECT_LT(elapsed, milliseconds(1500));
  EXPECT_FALSE(client.IsConnected());
  locker.Exec("ROLLBACK");
  ASSERT_TRUE(client.Connect(ConnectString(ClusterPort())));
  EXPECT_EQ(U8(client.OpenId(u"MX.ParPersEdv", u"1||ABC")->Property(u"PNAME")), "Jürgen Müller");
}

}  // namespace
}  // namespace quorel::sql::testing
