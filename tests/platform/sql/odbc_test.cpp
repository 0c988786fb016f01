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

// The namespace names the file, so the program's connection string chooses it; NoCreat keeps
// the driver from creating a missing one.
std::string OdbcSqlite(const std::string& folder) {
  return "odbc:Driver=Quorel SQLite;Database=" + folder + "/<NAMESPACE>.sqlite3;NoCreat=1";
}

struct OdbcSqliteEngine : SqliteTestDatabase {
  void SetUp() {
    UseTestOdbcDrivers();
    SqliteTestDatabase::SetUp();
  }
  platform::ServerClientFactory& Factory() { return *factory; }

  std::unique_ptr<platform::ServerClientFactory> factory =
      CreateServerClientFactory(OdbcSqlite(dir.path().string()));
};

INSTANTIATE_TYPED_TEST_SUITE_P(OdbcSqliteClient, Client, OdbcSqliteEngine);
INSTANTIATE_TYPED_TEST_SUITE_P(OdbcSqliteLogin, Login, OdbcSqliteEngine);

TEST(OdbcLoader, LoadsTheDriverManagerOnceWithEveryFunction) {
  ASSERT_NO_THROW(odbc::Load());
  ASSERT_NO_THROW(odbc::Load());
#define QUOREL_EXPECT_LOADED(name) EXPECT_NE(odbc::name, nullptr) << #name;
  QUOREL_ODBC_FUNCTIONS(QUOREL_EXPECT_LOADED)
#undef QUOREL_EXPECT_LOADED
}

TEST(OdbcConfiguration, AMissingDriverOrDataSourceIsAnErrorInTheDriverManagersWords) {
  UseTestOdbcDrivers();
  for (const auto& [connection, words] : std::vector<std::pair<std::u16string, std::string>>{
           {u"Driver=Quorel Nichtda;Database=x", "Quorel Nichtda"},
           {u"DSN=Nichtda;Servername=<SERVER>", "IM002"}}) {
    OdbcClient client(connection);
    try {
      client.Connect(u"cn_iptcp:127.0.0.1[1972]:MIRLOX");
      ADD_FAILURE() << "no error for " << U8(connection);
    } catch (const platform::ServerError& e) {
      EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
  }
}

TEST(OdbcConfiguration, AMissingDatabaseIsAFailedConnectAndIsNotCreated) {
  UseTestOdbcDrivers();
  TempDir dir;
  ExpectThreeFailedAttempts(*CreateServerClientFactory(OdbcSqlite(dir.path().string())),
                            u"1 0 ABC pw", "connect failed (SQLSTATE HY000)");
  EXPECT_FALSE(std::filesystem::exists((dir / "MIRLOX.sqlite3").string()));
}

TEST(OdbcSqlite, OnlyARowWhoseIdIsTheIdExactlyIsTheObject) {
  OdbcSqliteEngine engine;
  engine.SetUp();
  // Ids compared without case; ids padded like those of a fixed-length column and compared
  // without trailing blanks; a table without "ID", which SQLite reads as the text 'ID'.
  SqliteExec(engine.path,
             "CREATE TABLE \"MX.Lose\" (\"ID\" TEXT COLLATE NOCASE PRIMARY KEY, \"PNAME\" TEXT);"
             "INSERT INTO \"MX.Lose\" VALUES ('1||ABC', 'Jürgen Müller');"
             "CREATE TABLE \"MX.Fest\" (\"ID\" TEXT COLLATE RTRIM, \"PNAME\" TEXT);"
             "INSERT INTO \"MX.Fest\" VALUES ('1||ABC      ', 'Jürgen Müller');"
             "CREATE TABLE \"MX.OhneId\" (\"NAME\" TEXT); INSERT INTO \"MX.OhneId\" VALUES ('x')");
  auto client = engine.Factory().Create();
  ASSERT_TRUE(client->Connect(u"cn_iptcp:127.0.0.1[1972]:MIRLOX"));
  EXPECT_EQ(U8(client->OpenId(u"MX.Lose", u"1||ABC")->Property(u"PNAME")), "Jürgen Müller");
  EXPECT_THROW(client->OpenId(u"MX.Lose", u"1||abc"), platform::ObjectNotFoundError);
  EXPECT_EQ(U8(client->OpenId(u"MX.Fest", u"1||ABC")->Property(u"PNAME")), "Jürgen Müller");
  EXPECT_THROW(client->OpenId(u"MX.Fest", u"1||ABC "), platform::ObjectNotFoundError);
  EXPECT_THROW(client->OpenId(u"MX.OhneId", u"ID"), platform::ServerError);
  EXPECT_TRUE(client->IsConnected());
}

}  // namespace
}  // namespace quorel::sql::testing
