// PostgreSQL, through libpq and through its ODBC driver: the shared suites, and what only a
// server can do (be absent, never answer, restart, drop a session, end an idle session, count
// statements, hold a lock). The cluster comes from scripts/with-postgres.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "engine_suites.h"
#include "platform/sql/odbc_client.h"
#include "platform/sql/postgres_client.h"
#include "platform/sql/server_factory.h"
#include "platform/text.h"
#include "sql_test_support.h"

namespace quorel::sql::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Beyond the suites' engine: the name of the connect bound's variable, whether every
// statement on the server is the client's own, a client with another query timeout, and the
// client's last error and server process.
struct ClusterEngine {
  static constexpr char kNoSuchTable[] = "does not exist";

  std::u16string Port() { return text::FromUtf8(ClusterPort()); }
  long RowCount() {
    PgAdmin admin;
    const std::string count = admin.Scalar(R"(SELECT count(*) FROM "MX"."ParPersEdv")");
    return count.empty() ? -1 : std::stol(count);
  }
};

struct PostgresEngine : ClusterEngine {
  static constexpr char kConnectTimeoutVariable[] = "PGCONNECT_TIMEOUT";
  static constexpr int kShortestConnectTimeout = 1;  // seconds
  static constexpr bool kOnlyOwnStatements = true;

  void SetUp() { RequireCluster(); }
  platform::ServerClientFactory& Factory() { return *factory; }
  std::unique_ptr<platform::ServerClient> WithQueryTimeout(milliseconds bound) {
    return std::make_unique<PostgresClient>(
        PostgresOptions{.connectTimeout = {}, .queryTimeout = bound});
  }
  std::string LastError(platform::ServerClient& client) {
    return dynamic_cast<PostgresClient&>(client).LastError();
  }
  int BackendPid(platform::ServerClient& client) {
    return dynamic_cast<PostgresClient&>(client).BackendPid();
  }

  std::unique_ptr<platform::ServerClientFactory> factory = CreateServerClientFactory("postgresql");
};

// PostgreSQL's ODBC driver; user and password come from libpq's environment as above. Each
// engine names its sessions, so that the tests find them on the server.
struct OdbcPostgresEngine : ClusterEngine {
  static constexpr char kConnectTimeoutVariable[] = "MIRLOX_LOGIN_TIMEOUT";
  // The driver hands the login timeout to libpq, which waits at least two seconds.
  static constexpr int kShortestConnectTimeout = 2;
  // The driver sets each session up with statements of its own.
  static constexpr bool kOnlyOwnStatements = false;

  void SetUp() {
    RequireCluster();
    UseTestOdbcDrivers();
  }
  platform::ServerClientFactory& Factory() { return *factory; }
  std::unique_ptr<platform::ServerClient> WithQueryTimeout(milliseconds bound) {
    return std::make_unique<OdbcClient>(text::FromUtf8(connection),
                                        OdbcOptions{.loginTimeout = {}, .queryTimeout = bound});
  }
  std::string LastError(platform::ServerClient& client) {
    return dynamic_cast<OdbcClient&>(client).LastError();
  }
  int BackendPid(platform::ServerClient&) {
    const std::string sql = "SELECT pid FROM pg_stat_activity WHERE application_name = '" +
                            application + "' ORDER BY backend_start DESC LIMIT 1";
    return std::atoi(PgAdmin().Scalar(sql).c_str());
  }

  inline static int engines = 0;
  std::string application = "quorel-odbc-" + std::to_string(++engines);
  std::string connection = "Driver=Quorel PostgreSQL;pqopt={application_name=" + application +
                           "};Servername=<SERVER>;Port=<PORT>;Database=<NAMESPACE>";
  std::unique_ptr<platform::ServerClientFactory> factory =
      CreateServerClientFactory("odbc:" + connection);
};

INSTANTIATE_TYPED_TEST_SUITE_P(PostgresClient, Client, PostgresEngine);
INSTANTIATE_TYPED_TEST_SUITE_P(PostgresLogin, Login, PostgresEngine);
INSTANTIATE_TYPED_TEST_SUITE_P(OdbcPostgresClient, Client, OdbcPostgresEngine);
INSTANTIATE_TYPED_TEST_SUITE_P(OdbcPostgresLogin, Login, OdbcPostgresEngine);

template <class Engine>
class PostgresServer : public ::testing::Test {
 protected:
  void SetUp() override { engine.SetUp(); }

  static std::u16string ConnectString(const std::string& port, const char* database = "MIRLOX") {
    return text::FromUtf8("cn_iptcp:127.0.0.1[" + port + "]:" + database);
  }
  std::string LastError(Harness& h) { return engine.LastError(*h.session().Factory); }
  int BackendPid(Harness& h) { return engine.BackendPid(*h.session().Factory); }
  // The program logged in with ABC, connected, the idle timer running.
  static void LogIn(Harness& h) {
    bool accepted = false;
    h.Call([&] {
      cacheapi::ReadSettings(h.session());
      accepted = cacheapi::CheckLogin(h.session());
    });
    ASSERT_TRUE(accepted) << h.Dump();
  }

  Engine engine;
};

TYPED_TEST_SUITE_P(PostgresServer);

TYPED_TEST_P(PostgresServer, NoServerOnThePortEndsTheProgramAfterThreeQuickAttempts) {
  Clock::duration took{};
  ExpectThreeFailedAttempts(this->engine.Factory(),
                            text::FromUtf8("1 0 ABC pw 127.0.0.1 " + std::to_string(FreePort())),
                            "refused", &took);
  EXPECT_LT(took, std::chrono::seconds(2));
}

TYPED_TEST_P(PostgresServer, AListenerThatNeverAnswersCostsEachAttemptTheConnectTimeout) {
  const int seconds = TypeParam::kShortestConnectTimeout;
  ScopedEnv timeout(TypeParam::kConnectTimeoutVariable, std::to_string(seconds));
  SilentListener listener;
  ASSERT_NE(listener.port(), 0);
  Clock::duration took{};
  ExpectThreeFailedAttempts(
      this->engine.Factory(),
      text::FromUtf8("1 0 ABC pw 127.0.0.1 " + std::to_string(listener.port())),
      "Zeitüberschreitung", &took);
  EXPECT_GE(took, milliseconds(3000 * seconds));
  EXPECT_LT(took, milliseconds(3000 * seconds + 1500));
}

TYPED_TEST_P(PostgresServer, ConnectFailuresKeepTheServersWords) {
  struct Case {
    const char* what = nullptr;
    std::optional<std::string> password;
    const char* database = nullptr;
    const char* words = nullptr;
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
    auto client = this->engine.Factory().Create();
    EXPECT_FALSE(client->Connect(this->ConnectString(ClusterPort(), c.database)));
    EXPECT_FALSE(client->IsConnected());
    const std::string error = this->engine.LastError(*client);
    EXPECT_NE(error.find(c.words), std::string::npos) << error;
  }
}

// "localhost" is looked up by the program (::1 refuses, 127.0.0.1 answers); libpq still matches
// the password file by the name.
TEST(PostgresHostName, IsLookedUpByTheProgramAndThePasswordFileMatchesTheName) {
  TempDir dir;
  const std::string passfile = (dir / "pgpass").string();
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
  EXPECT_FALSE(
      byAddress.Connect(text::FromUtf8("cn_iptcp:127.0.0.1[" + ClusterPort() + "]:MIRLOX")));
  EXPECT_NE(byAddress.LastError().find("no password supplied"), std::string::npos)
      << byAddress.LastError();
}

TYPED_TEST_P(PostgresServer, AfterTheServerWentAwayIsConnectedSaysSoAndTheProgramReconnects) {
  const char* ctl = std::getenv("QUOREL_PG_CTL");
  struct Case {
    const char* what = nullptr;
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
    CountingFactory factory(this->engine.Factory());
    Harness h(u"1 0 ABC pw " + kHost + u" " + this->engine.Port(), "/nonexistent/quorel/registry",
              &factory);
    ASSERT_NO_FATAL_FAILURE(this->LogIn(h));
    const int pid = this->BackendPid(h);
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

    ASSERT_NO_FATAL_FAILURE(this->LogIn(h));
    EXPECT_EQ(factory.created(), 2);
    EXPECT_NE(this->BackendPid(h), pid);
    EXPECT_TRUE(h.Log("show FMServer").empty()) << h.Dump();
  }
}

TYPED_TEST_P(PostgresServer, ThirtySecondsAfterTheLastServerWorkTheSessionIsGoneFromTheServer) {
  PgAdmin admin;
  Harness h(u"1 0 ABC pw " + kHost + u" " + this->engine.Port(), "/nonexistent/quorel/registry",
            &this->engine.Factory());
  int pid = 0;
  h.screen.Check("logged in", [&] {
    ASSERT_NE(h.session().Factory, nullptr);
    pid = this->BackendPid(h);
    EXPECT_NE(pid, 0);
    EXPECT_EQ(admin.Sessions(pid), "1");
  });
  h.screen.Wait(milliseconds(29999));
  h.screen.Check("just before the tick", [&] { EXPECT_EQ(admin.Sessions(pid), "1"); });
  h.screen.Wait(milliseconds(1));
  h.screen.Check("after the tick", [&] {
    EXPECT_EQ(h.Log("tick FMServer.Lock").size(), 1u);
    EXPECT_TRUE(SessionEnds(admin, pid, std::chrono::seconds(5)));
    EXPECT_FALSE(h.session().Factory->IsConnected());
  });
  h.screen.CloseBox(u"FMStart");
  EXPECT_EQ(h.Run(), forms::kExitNormal) << h.Dump();
}

TYPED_TEST_P(PostgresServer, DisconnectAndDestructionEndTheSessionOnTheServer) {
  PgAdmin admin;
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroyed" : "disconnected");
    auto client = this->engine.Factory().Create();
    ASSERT_TRUE(client->Connect(this->ConnectString(ClusterPort())));
    const int pid = this->engine.BackendPid(*client);
    ASSERT_EQ(admin.Sessions(pid), "1");
    if (destroy)
      client.reset();
    else
      client->Disconnect();
    EXPECT_TRUE(SessionEnds(admin, pid, std::chrono::seconds(5)));
  }
}

TYPED_TEST_P(PostgresServer, ALoginCheckIsOneStatementOnTheServer) {
  PgAdmin admin;
  ASSERT_EQ(admin.Scalar("SELECT count(*) FROM pg_extension WHERE extname = 'pg_stat_statements'"),
            "1")
      << "the cluster lacks pg_stat_statements";
  admin.Exec("SELECT pg_stat_statements_reset()");
  {
    auto client = this->engine.Factory().Create();
    ASSERT_TRUE(client->Connect(this->ConnectString(ClusterPort())));
    for (int i = 0; i < 3; ++i)
      ASSERT_TRUE(client->IsConnected());
    auto record = client->OpenId(u"MX.ParPersEdv", u"1||ABC");
    for (const char16_t* name : {u"PASSWORT", u"AKTIV", u"PNAME"})
      record->Property(name);
    record->Call(u"sys_Close");
    client->Disconnect();
  }
  // Through ODBC the driver's own statements to set up the session are left out.
  const std::string theirs = TypeParam::kOnlyOwnStatements ? "" : " AND query LIKE '%ParPersEdv%'";
  EXPECT_EQ(admin.Column("SELECT calls || ' ' || query FROM pg_stat_statements "
                         "WHERE query NOT LIKE '%pg_stat_statements%'" +
                         theirs),
            std::vector<std::string>{R"(1 SELECT * FROM "MX"."ParPersEdv" WHERE "ID" = $1)"});
}

TYPED_TEST_P(PostgresServer, AStatementTheServerDoesNotAnswerEndsAtTheQueryTimeout) {
  PgAdmin locker;
  auto owned = this->engine.WithQueryTimeout(milliseconds(500));
  auto& client = *owned;
  ASSERT_TRUE(client.Connect(this->ConnectString(ClusterPort())));
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
  ASSERT_TRUE(client.Connect(this->ConnectString(ClusterPort())));
  EXPECT_EQ(U8(client.OpenId(u"MX.ParPersEdv", u"1||ABC")->Property(u"PNAME")), "Jürgen Müller");
}

REGISTER_TYPED_TEST_SUITE_P(PostgresServer, NoServerOnThePortEndsTheProgramAfterThreeQuickAttempts,
                            AListenerThatNeverAnswersCostsEachAttemptTheConnectTimeout,
                            ConnectFailuresKeepTheServersWords,
                            AfterTheServerWentAwayIsConnectedSaysSoAndTheProgramReconnects,
                            ThirtySecondsAfterTheLastServerWorkTheSessionIsGoneFromTheServer,
                            DisconnectAndDestructionEndTheSessionOnTheServer,
                            ALoginCheckIsOneStatementOnTheServer,
                            AStatementTheServerDoesNotAnswerEndsAtTheQueryTimeout);
INSTANTIATE_TYPED_TEST_SUITE_P(PostgresServer, PostgresServer, PostgresEngine);
INSTANTIATE_TYPED_TEST_SUITE_P(OdbcPostgresServer, PostgresServer, OdbcPostgresEngine);

}  // namespace
}  // namespace quorel::sql::testing
