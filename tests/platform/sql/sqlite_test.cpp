// The embedded database: the shared suites, and what only a file can do (be missing,
// unreadable, no database, replaced, locked by a writer).
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "engine_suites.h"
#include "platform/sql/server_factory.h"
#include "platform/sql/sqlite_client.h"
#include "sql_test_support.h"
#include "support/unprivileged_user.h"

namespace quorel::sql::testing {
namespace {

struct SqliteEngine : SqliteTestDatabase {
  platform::ServerClientFactory& Factory() { return *factory; }

  std::unique_ptr<platform::ServerClientFactory> factory =
      CreateServerClientFactory("sqlite:" + path);
};

INSTANTIATE_TYPED_TEST_SUITE_P(SqliteClient, Client, SqliteEngine);
INSTANTIATE_TYPED_TEST_SUITE_P(SqliteLogin, Login, SqliteEngine);

// The program against a file it cannot use: three attempts, each with the reason on standard
// error, exit status 2, and the file is neither created nor changed.
TEST(SqliteFile, WithoutAUsableFileTheProgramEndsAfterThreeAttempts) {
  if (quorel::testing::RunsAsRoot()) return quorel::testing::RerunAsUnprivilegedUser();
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> prepare;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"missing", [](const std::string&) {},
       "die Datei kann nicht geöffnet werden (Datei oder Ordner nicht vorhanden)"},
      {"a folder", [](const std::string& path) { std::filesystem::create_directory(path); },
       "die Datei kann nicht gelesen werden (es ist ein Ordner, keine Datei)"},
      {"not a database",
       [](const std::string& path) { std::ofstream(path) << "kein SQLite, nur Text\n"; },
       "die Datei ist keine SQLite-Datenbank"},
      {"unreadable",
       [](const std::string& path) {
         CreateSqliteDatabase(path, {"sqlite/schema.sql"});
         chmod(path.c_str(), 0200);
       },
       "die Datei kann nicht geöffnet werden (keine Berechtigung)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = (dir / "MIRLOX.sqlite3").string();
    c.prepare(path);
    const bool existed = std::filesystem::exists(path);
    const bool regular = std::filesystem::is_regular_file(path);
    const auto size = regular ? std::filesystem::file_size(path) : 0;
    ExpectThreeFailedAttempts(*CreateServerClientFactory("sqlite:" + path), u"1 0 ABC pw",
                              "fehlgeschlagen: Die Datenbankdatei \u201E" + path +
                                  "\u201C ist nicht verwendbar: " + c.reason);
    EXPECT_EQ(std::filesystem::exists(path), existed);
    if (regular) {
      EXPECT_EQ(std::filesystem::file_size(path), size);
    }
  }
}

TEST(SqliteFile, ARemovedOrReplacedFileEndsTheConnectionAndTheNextConnectTakesTheNewOne) {
  SqliteEngine engine;
  engine.SetUp();
  CountingFactory factory(engine.Factory());
  Harness h(u"1 0 ABC pw", "/nonexistent/quorel/registry", &factory);
  h.Call([&] {
    cacheapi::ReadSettings(h.session());
    cacheapi::OpenServer(h.session(), false);
    cacheapi::ReleaseServer(h.session(), false);
  });
  ASSERT_TRUE(h.session().Factory->IsConnected());

  // Replaced by a database in which ABC has another name.
  std::filesystem::remove(engine.path);
  EXPECT_FALSE(h.session().Factory->IsConnected());
  engine.SetUp();
  SqliteExec(engine.path,
             "UPDATE \"MX.ParPersEdv\" SET \"PNAME\" = 'Jürgen Neu' WHERE \"ID\" = '1||ABC'");

  bool accepted = false;
  h.Call([&] { accepted = cacheapi::CheckLogin(h.session()); });
  EXPECT_TRUE(accepted) << h.Dump();
  EXPECT_EQ(U8(h.session().Benutzer), "ABC | Jürgen Neu");
  EXPECT_EQ(factory.created(), 2);
  EXPECT_TRUE(h.session().Factory->IsConnected());
}

TEST(SqliteFile, AReadWaitsForAWriterOnlyWithinTheBusyTimeout) {
  SqliteEngine engine;
  engine.SetUp();
  SqliteClient client(engine.path, SqliteOptions{.busyTimeout = std::chrono::milliseconds(200)});
  ASSERT_TRUE(client.Connect(u""));

  // A second process-like writer holding the exclusive lock.
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open_v2(engine.path.c_str(), &writer, SQLITE_OPEN_READWRITE, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto start = std::chrono::steady_clock::now();
  try {
    client.OpenId(u"MX.ParPersEdv", u"1||ABC");
    ADD_FAILURE() << "read through an exclusive lock";
  } catch (const platform::ServerError& e) {
    EXPECT_NE(std::string(e.what()).find("die Datenbank ist von einem anderen Programm gesperrt"),
              std::string::npos)
        << e.what();
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(150));
  EXPECT_LT(waited, std::chrono::seconds(2));
  // A connect meanwhile cannot read the schema.
  SqliteClient second(engine.path, SqliteOptions{.busyTimeout = std::chrono::milliseconds(50)});
  EXPECT_FALSE(second.Connect(u""));
  EXPECT_NE(second.LastError().find(
                "ist nicht verwendbar: die Datenbank ist von einem anderen Programm gesperrt"),
            std::string::npos)
      << second.LastError();
  sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close_v2(writer);
  EXPECT_EQ(U8(client.OpenId(u"MX.ParPersEdv", u"1||ABC")->Property(u"PNAME")), "Jürgen Müller");
}

TEST(SqliteFile, AQuotedNameThatIsNoColumnIsAnErrorNotText) {
  // SQLite would read "ID" as the text 'ID' in a table without such a column.
  SqliteTestDatabase database;
  database.SetUp();
  SqliteExec(database.path,
             "CREATE TABLE \"MX.OhneId\" (\"NAME\" TEXT); INSERT INTO \"MX.OhneId\" VALUES ('x')");
  SqliteClient client(database.path);
  ASSERT_TRUE(client.Connect(u""));
  EXPECT_THROW(
      {
        try {
          client.OpenId(u"MX.OhneId", u"ID");
        } catch (const platform::ObjectNotFoundError&) {
          ADD_FAILURE() << "treated as not found";
        }
      },
      platform::ServerError);
}

}  // namespace
}  // namespace quorel::sql::testing
