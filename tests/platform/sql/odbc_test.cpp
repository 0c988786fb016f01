// The ODBC client on SQLite's ODBC driver: the shared suites against a temporary file, and what
// depends on the driver manager and the driver: the manager itself, a driver or data source
// that is not there, a missing file, a server that compares ids more loosely than the program.
#include <filesystem>

#include "engine_suites.h"
#include "platform/sql/odbc_client.h"
#include "platform/sql/odbc_loader.h"
#include "platform/sql/server_factory.h"
#include "sql_test_support.h"

namespace quorel::sql::testing {
namespace {

const std::string kTable = "\"MX.ParPersEdv\"";

// The namespace names the file, so the program's connection string chooses it; NoCreat keeps
// the driver from creating a missing one.
std::string OdbcSqlite(const std::string& folder) {
  return "odbc:Driver=Quorel SQLite;Database=" + folder + "/<NAMESPACE>.sqlite3;NoCreat=1";
}

struct OdbcSqliteEngine {
  static constexpr char kNoSuchTable[] = "no such table";

  void SetUp() {
    UseTestOdbcDrivers();
    CreateSqliteDatabase(path, {"sqlite/schema.sql", "sqlite/test-users.sql"});
  }
  platform::ServerClientFactory& Factory() { return *factory; }
  std::u16string Host() { return u"127.0.0.1"; }
  std::u16string Port() { return u"1972"; }
  long RowCount() { return SqliteCount(path, kTable); }

  TempDir dir;
  std::string path = dir.path() + "/MIRLOX.sqlite3";
  std::unique_ptr<platform::ServerClientFactory> factory =
      CreateServerClientFactory(OdbcSqlite(dir.path()));
};

INSTANTIATE_TYPED_TEST_SUITE_P(OdbcSqliteClient, Client, OdbcSqliteEngine);
INSTANTIATE_TYPED_TEST_SUITE_P(OdbcSqliteLogin, Login, OdbcSqliteEngine);

TEST(OdbcLoader, LoadsTheDriverManagerOnceWithEveryFunction) {
  ASSERT_NO_THROW(odbc::Load());
  ASSERT_NO_THROW(odbc::Load());
#define QUOREL_EXPECT_LOADED(name) EXPECT_NE(odbc::name, nullptr) << #name;
  QUOREL_ODBC_FUNCTIONS(QUOREL_EXPECT_LOADED)
#undef QUOREL_EXPECT_LOADED
  // Working functions, not just addresses.
  SQLHENV env = SQL_NULL_HENV;
  ASSERT_EQ(odbc::SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
  EXPECT_EQ(odbc::SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
}

TEST(OdbcConfiguration, AMissingDriverOrDataSourceEndsTheProgramInTheDriverManagersWords) {
  struct Case {
    std::string connection, words;
  };
  const std::vector<Case> cases = {
      {"Driver=Quorel Nichtda;Database=x", "Quorel Nichtda"},
      {"DSN=Nichtda", "IM002"},
      {"DSN=Nichtda;Servername=<SERVER>", "IM002"},
  };
  UseTestOdbcDrivers();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.connection);
    auto factory = CreateServerClientFactory("odbc:" + c.connection);
    Harness h(u"1 0 ABC pw 127.0.0.1 1972", "/nonexistent/quorel/registry", factory.get());
    h.screen.Answer(platform::vbOK);
    EXPECT_EQ(h.Run(), forms::kExitFailure) << h.Dump();
    const auto boxes = h.Log("msgbox");
    ASSERT_EQ(boxes.size(), 1u) << h.Dump();
    EXPECT_NE(boxes[0].find(c.words), std::string::npos) << boxes[0];
    EXPECT_TRUE(h.Log("show FMServer").empty()) << h.Dump();
  }
}

TEST(OdbcConfiguration, AMissingDatabaseIsAFailedConnectAndIsNotCreated) {
  UseTestOdbcDrivers();
  TempDir dir;
  auto inner = CreateServerClientFactory(OdbcSqlite(dir.path()));
  CountingFactory factory(*inner);
  Harness h(u"1 0 ABC pw", "/nonexistent/quorel/registry", &factory);
  AnswerThreeFailedAttempts(h);
  EXPECT_EQ(h.Run(), forms::kExitNoConnection) << h.Dump();
  ExpectThreeFailedAttempts(h, factory.created());
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/MIRLOX.sqlite3"));
  auto* client = dynamic_cast<OdbcClient*>(h.session().Factory.get());
  ASSERT_NE(client, nullptr);
  EXPECT_NE(client->LastError().find("SQLSTATE"), std::string::npos) << client->LastError();
}

TEST(OdbcSqlite, OnlyARowWhoseIdIsTheIdExactlyIsTheObject) {
  OdbcSqliteEngine engine;
  engine.SetUp();
  // A column that compares without case, and a table without "ID", which SQLite would read as
  // the text 'ID' in the statement.
  SqliteExec(engine.path,
             "CREATE TABLE \"MX.Lose\" (\"ID\" TEXT COLLATE NOCASE PRIMARY KEY, \"PNAME\" TEXT);"
             "INSERT INTO \"MX.Lose\" VALUES ('1||ABC', 'Jürgen Müller');"
             "CREATE TABLE \"MX.OhneId\" (\"NAME\" TEXT); INSERT INTO \"MX.OhneId\" VALUES ('x')");
  auto client = engine.Factory().Create();
  ASSERT_TRUE(client->Connect(u"cn_iptcp:127.0.0.1[1972]:MIRLOX"));
  EXPECT_EQ(U8(client->OpenId(u"MX.Lose", u"1||ABC")->Property(u"PNAME")), "Jürgen Müller");
  EXPECT_THROW(client->OpenId(u"MX.Lose", u"1||abc"), platform::ObjectNotFoundError);
  try {
    client->OpenId(u"MX.OhneId", u"ID");
    ADD_FAILURE() << "a row of a table without \"ID\" was an object";
  } catch (const platform::ObjectNotFoundError& e) {
    ADD_FAILURE() << "treated as not found: " << e.what();
  } catch (const platform::ServerError& e) {
    EXPECT_NE(std::string(e.what()).find("\"ID\""), std::string::npos) << e.what();
  }
  EXPECT_TRUE(client->IsConnected());
}

}  // namespace
}  // namespace quorel::sql::testing
