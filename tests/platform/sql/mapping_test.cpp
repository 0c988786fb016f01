// The parts of the server client that need no database: connection strings, class names,
// the choice of client by MIRLOX_SERVER, the default file and the connect bound.
#include <gtest/gtest.h>

#include "forms/exit_status.h"
#include "platform/sql/object_mapping.h"
#include "platform/sql/odbc_client.h"
#include "platform/sql/odbc_connection_string.h"
#include "platform/sql/postgres_client.h"
#include "platform/sql/server_factory.h"
#include "platform/sql/sqlite_client.h"
#include "sql_test_support.h"
#include "support/harness.h"

namespace quorel::sql::testing {
namespace {

using quorel::testing::Harness;
using quorel::testing::U8;

TEST(ConnectString, ValidTextsGiveHostPortAndDatabase) {
  struct Case {
    std::u16string text;
    ServerAddress address;
  };
  const std::vector<Case> cases = {
      {u"cn_iptcp:127.0.0.1[1972]:MIRLOX", {"127.0.0.1", "1972", "MIRLOX"}},
      {u"cn_iptcp:db-1.example.org[65535]:MIRLOX", {"db-1.example.org", "65535", "MIRLOX"}},
      {u"cn_iptcp:::1[1]:MIRLOX", {"::1", "1", "MIRLOX"}},
      {u"cn_iptcp:fe80::1%eth0[5432]:Test DB", {"fe80::1%eth0", "5432", "Test DB"}},
      {u"cn_iptcp:h[5432]:a:b=c", {"h", "5432", "a:b=c"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.text));
    const auto address = ParseConnectString(c.text);
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(*address, c.address);
  }
}

TEST(ConnectString, AnythingElseDoesNotParse) {
  for (const std::u16string& text : std::vector<std::u16string>{
           u"",
           u"127.0.0.1[1972]:MIRLOX",
           u"CN_IPTCP:127.0.0.1[1972]:MIRLOX",
           u"cn_iptcp:[1972]:MIRLOX",
           u"cn_iptcp:127.0.0.1[]:MIRLOX",
           u"cn_iptcp:127.0.0.1[0]:MIRLOX",
           u"cn_iptcp:127.0.0.1[65536]:MIRLOX",
           u"cn_iptcp:127.0.0.1[019720]:MIRLOX",
           u"cn_iptcp:127.0.0.1[-1]:MIRLOX",
           u"cn_iptcp:127.0.0.1[+80]:MIRLOX",
           u"cn_iptcp:127.0.0.1[19 72]:MIRLOX",
           u"cn_iptcp:127.0.0.1[1972]:",
           u"cn_iptcp:127.0.0.1[1972]MIRLOX",
           u"cn_iptcp:127.0.0.1[1972:MIRLOX",
           u"cn_iptcp:127.0.0.1]1972[:MIRLOX",
           u"cn_iptcp: 127.0.0.1[1972]:MIRLOX",
           u"cn_iptcp:a,b[1972]:MIRLOX",
           u"cn_iptcp:/tmp[1972]:MIRLOX",
           u"cn_iptcp:host=evil[1972]:MIRLOX",
           u"cn_iptcp:hö[1972]:MIRLOX",
           std::u16string(u"cn_iptcp:h[1972]:MIR\0LOX", 24),
           u"cn_iptcp:" + std::u16string(254, u'a') + u"[1972]:MIRLOX",
       }) {
    SCOPED_TRACE(U8(text));
    EXPECT_FALSE(ParseConnectString(text).has_value());
  }
}

TEST(ConnectString, PostgresClientTreatsAnUnreadableTextAsAFailedConnect) {
  PostgresClient client;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.Connect(u"cn_iptcp:a,b[1972]:MIRLOX"));
  EXPECT_FALSE(client.IsConnected());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_NE(client.LastError().find("nicht lesbar"), std::string::npos);
  EXPECT_THROW(client.OpenId(u"MX.ParPersEdv", u"1||ABC"), platform::NotConnectedError);
}

TEST(OdbcConnectionString, TheMarksTakeServerPortAndNamespaceWhereverTheyAre) {
  const std::u16string server = u"cn_iptcp:fe80::1%eth0[1433]:Test DB";
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"Driver=PostgreSQL Unicode;Servername=<SERVER>;Port=<PORT>;Database=<NAMESPACE>",
       u"Driver=PostgreSQL Unicode;Servername=fe80::1%eth0;Port=1433;Database=Test DB"},
      {u"Driver={SQL Server};Server=tcp:<SERVER>,<PORT>;X=<<PORT>><PORT>;Y=<NAMESPACE;Z=<port>",
       u"Driver={SQL Server};Server=tcp:fe80::1%eth0,1433;X=<1433>1433;Y=<NAMESPACE;Z=<port>"},
  };
  for (const auto& [configured, expected] : cases) {
    SCOPED_TRACE(U8(configured));
    const auto result = DriverConnectionString(configured, server);
    ASSERT_TRUE(std::holds_alternative<std::u16string>(result)) << std::get<std::string>(result);
    EXPECT_EQ(U8(std::get<std::u16string>(result)), U8(expected));
  }
  // Without marks the program's connection string is not read.
  EXPECT_EQ(std::get<std::u16string>(DriverConnectionString(u"DSN=𝄞", u"kein Text")), u"DSN=𝄞");
}

TEST(OdbcConnectionString, AnUnreadableTextOrAValueThatWouldChangeItsMeaningGivesNone) {
  for (const std::u16string ns : {u"M;UID=admin", u"{M}", u"M}", u"M{", u" M", u"M "}) {
    SCOPED_TRACE(U8(ns));
    const auto result = DriverConnectionString(u"Database=<NAMESPACE>", u"cn_iptcp:h[1]:" + ns);
    ASSERT_TRUE(std::holds_alternative<std::string>(result));
    EXPECT_NE(std::get<std::string>(result).find("»" + U8(ns) + "«"), std::string::npos);
  }
  const auto unreadable = DriverConnectionString(u"Server=<SERVER>", u"cn_iptcp:a,b[1]:MIRLOX");
  ASSERT_TRUE(std::holds_alternative<std::string>(unreadable));
  EXPECT_NE(std::get<std::string>(unreadable).find("nicht lesbar"), std::string::npos);
}

TEST(ClassName, MapsToAQuotedTableOfEachEngine) {
  struct Case {
    std::u16string className;
    std::string sqlite, postgres;
  };
  const std::vector<Case> cases = {
      {u"MX.ParPersEdv", R"("MX.ParPersEdv")", R"("MX"."ParPersEdv")"},
      {u"Tabelle", R"("Tabelle")", R"("Tabelle")"},
      {u"a.b.c", R"("a.b.c")", R"("a.b"."c")"},
      {u"MX.Per\"son", R"("MX.Per""son")", R"("MX"."Per""son")"},
      {u"x\".\"y", R"("x"".""y")", R"("x"""."""y")"},
      {u"MX.Größe", "\"MX.Größe\"", "\"MX\".\"Größe\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.className));
    EXPECT_EQ(TableOf(c.className, Dialect::kSqlite), c.sqlite);
    EXPECT_EQ(TableOf(c.className, Dialect::kPostgres), c.postgres);
  }
  EXPECT_EQ(SelectById(u"MX.ParPersEdv", Dialect::kPostgres),
            R"(SELECT * FROM "MX"."ParPersEdv" WHERE "ID" = $1)");
  EXPECT_EQ(SelectById(u"MX.ParPersEdv", Dialect::kSqlite),
            R"(SELECT * FROM "MX.ParPersEdv" WHERE "ID" = ?1)");
}

TEST(ClassName, FollowsTheQuoteCharacterAndTheSchemasOfTheDriver) {
  EXPECT_EQ(
      SelectById(u"MX.Par`Pers\"Edv", Syntax{.schemas = true, .quote = "`", .parameter = "?"}),
      "SELECT * FROM `MX`.`Par``Pers\"Edv` WHERE `ID` = ?");
  // A driver that quotes nothing can only use plain names.
  const Syntax plain{.schemas = true, .quote = " ", .parameter = "?"};
  EXPECT_EQ(SelectById(u"MX.ParPersEdv", plain), "SELECT * FROM MX.ParPersEdv WHERE ID = ?");
  for (const char16_t* className : {u"MX.Par Pers", u"MX.Par\"", u"MX.Größe", u"a.b.c"})
    EXPECT_THROW(TableOf(className, plain), platform::ServerError) << U8(className);
  EXPECT_THROW(TableOf(u"MX.ParPersEdv", Syntax{.schemas = false, .quote = "", .parameter = "?"}),
               platform::ServerError);
}

TEST(ClassName, NamesThatCannotBeATableAreRefused) {
  for (const std::u16string& className :
       std::vector<std::u16string>{std::u16string(), std::u16string(u"MX.a\0b", 6),
                                   std::u16string(u".X"), std::u16string(u"X.")}) {
    SCOPED_TRACE(U8(className));
    EXPECT_THROW(TableOf(className, Dialect::kPostgres), platform::ServerError);
  }
  EXPECT_THROW(TableOf(u"", Dialect::kSqlite), platform::ServerError);
  EXPECT_THROW(TableOf(std::u16string(u"a\0b", 3), Dialect::kSqlite), platform::ServerError);
  EXPECT_EQ(TableOf(u".X", Dialect::kSqlite), R"(".X")");
}

TEST(ConnectTimeout, WholePositiveSecondsFromTheEnvironmentElseFiveSeconds) {
  using std::chrono::milliseconds;
  const std::vector<std::pair<std::optional<std::string>, milliseconds>> cases = {
      {std::nullopt, milliseconds(5000)},  {"1", milliseconds(1000)},
      {"30", milliseconds(30000)},         {"0", milliseconds(5000)},
      {"-3", milliseconds(5000)},          {"", milliseconds(5000)},
      {"2x", milliseconds(5000)},          {"1.5", milliseconds(5000)},
      {"99999999999", milliseconds(5000)},
  };
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE(value.value_or("(unset)"));
    ScopedEnv env("PGCONNECT_TIMEOUT", value);
    EXPECT_EQ(ConnectTimeoutFromEnvironment(), expected);
  }
}

TEST(DefaultDatabase, FollowsXdgDataHomeElseTheHomeFolder) {
  struct Case {
    std::optional<std::string> xdg, home;
    std::string path;
  };
  const std::vector<Case> cases = {
      {"/data", "/home/u", "/data/mirlox/MIRLOX.sqlite3"},
      {std::nullopt, "/home/u", "/home/u/.local/share/mirlox/MIRLOX.sqlite3"},
      {"", "/home/u", "/home/u/.local/share/mirlox/MIRLOX.sqlite3"},
      {"relativ/pfad", "/home/u", "/home/u/.local/share/mirlox/MIRLOX.sqlite3"},
      {"/data", std::nullopt, "/data/mirlox/MIRLOX.sqlite3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xdg.value_or("(unset)") + " " + c.home.value_or("(unset)"));
    ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(DefaultDatabasePath(), c.path);
  }
}

TEST(MirloxServer, SelectsTheClient) {
  ScopedEnv xdg("XDG_DATA_HOME", "/daten");
  const std::string kDefault = "/daten/mirlox/MIRLOX.sqlite3";
  struct Case {
    std::optional<std::string> setting;
    std::string sqlitePath;  // empty: PostgreSQL
  };
  const std::vector<Case> cases = {
      {std::nullopt, kDefault},
      {"", kDefault},
      {"sqlite", kDefault},
      {"sqlite:/tmp/andere Datei.sqlite3", "/tmp/andere Datei.sqlite3"},
      {"sqlite:relativ.db", "relativ.db"},
      {"sqlite:sqlite:x", "sqlite:x"},
      {"postgresql", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting.value_or("(unset)"));
    auto client = CreateServerClientFactory(c.setting)->Create();
    if (c.sqlitePath.empty()) {
      EXPECT_NE(dynamic_cast<PostgresClient*>(client.get()), nullptr);
    } else {
      auto* sqlite = dynamic_cast<SqliteClient*>(client.get());
      ASSERT_NE(sqlite, nullptr);
      EXPECT_EQ(sqlite->Path(), c.sqlitePath);
    }
  }
  ScopedEnv env("MIRLOX_SERVER", "postgresql");
  EXPECT_NE(dynamic_cast<PostgresClient*>(CreateServerClientFactory()->Create().get()), nullptr);

  // odbc:CONNECTION, CONNECTION as it stands (UTF-8).
  auto odbc = CreateServerClientFactory("odbc:DSN=Zoë;UID=ich")->Create();
  EXPECT_EQ(U8(dynamic_cast<OdbcClient&>(*odbc).Configured()), "DSN=Zoë;UID=ich");
}

TEST(MirloxServer, AnyOtherValueIsAnErrorThatNamesTheAcceptedValues) {
  for (const char* setting : {"Sqlite", "SQLITE", "postgres", "PostgreSQL", "mysql",
                              "sqlite:", " sqlite", "sqlite ", "odbc", "odbc:", "ODBC:DSN=x"}) {
    SCOPED_TRACE(setting);
    auto factory = CreateServerClientFactory(std::string_view(setting));
    try {
      factory->Create();
      ADD_FAILURE() << "a client was created";
    } catch (const platform::ServerError& e) {
      const std::string message = e.what();
      for (const char* part :
           {"MIRLOX_SERVER", "sqlite", "sqlite:PFAD", "postgresql", "odbc:VERBINDUNG", setting})
        EXPECT_NE(message.find(part), std::string::npos) << part << " in " << message;
    }
  }
}

TEST(MirloxServer, TheProgramShowsTheWrongValueAndEnds) {
  ScopedEnv env("MIRLOX_SERVER", "oracle");
  auto factory = CreateServerClientFactory();
  Harness h(u"1 0 ABC pw", "/nonexistent/quorel/registry", factory.get());
  h.screen.Answer(platform::vbOK);
  EXPECT_EQ(h.Run(), forms::kExitFailure) << h.Dump();
  const auto boxes = h.Log("msgbox");
  ASSERT_EQ(boxes.size(), 1u) << h.Dump();
  EXPECT_NE(boxes[0].find("MIRLOX_SERVER"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("»oracle«"), std::string::npos) << boxes[0];
}

}  // namespace
}  // namespace quorel::sql::testing
