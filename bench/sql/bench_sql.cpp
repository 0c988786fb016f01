// bench_sql [RUNS]: the median time of a full login check (connect, open the user's record,
// read three properties, close, disconnect) on the embedded database and, when the
// environment of scripts/with-postgres is there, on PostgreSQL; each next to a bare connect
// with SELECT 1 on the same engine. On PostgreSQL it also counts the statements the server
// executed per login check (pg_stat_statements), and does both for the same login check
// through PostgreSQL's ODBC driver (registered in an odbcinst.ini of the benchmark's own).
#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/sql/odbc_client.h"
#include "platform/sql/postgres_client.h"
#include "platform/sql/sqlite_client.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace sql = quorel::sql;

double MedianMicros(int runs, const std::function<void()>& action) {
  for (int i = 0; i < std::max(3, runs / 20); ++i)
    action();  // warm-up
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    action();
    times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
  return times[static_cast<std::size_t>(runs / 2)];
}

void LoginCheck(quorel::platform::ServerClient& client, const std::u16string& connectString) {
  if (!client.Connect(connectString) || !client.IsConnected())
    throw std::runtime_error("connect failed");
  auto record = client.OpenId(u"MX.ParPersEdv", u"1||ABC");
  if (record->Property(u"PASSWORT") != u"pw" || record->Property(u"AKTIV") != u"J" ||
      record->Property(u"PNAME").empty())
    throw std::runtime_error("wrong record");
  record->Call(u"sys_Close");
  client.Disconnect();
}

void Report(const char* engine, double login, double bare) {
  std::printf("%-10s  login check %9.1f us   connect + SELECT 1 %9.1f us   ratio %.2f\n", engine,
              login, bare, login / bare);
}

std::string ReadSql(const std::string& relative) {
  std::ifstream in(std::string(QUOREL_SQL_DIR) + "/" + relative);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void BenchSqlite(int runs) {
  const quorel::testing::TempDir folder("quorel-bench");
  const std::string path = (folder / "MIRLOX.sqlite3").string();
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  const std::string schema = ReadSql("sqlite/schema.sql") + ReadSql("sqlite/test-users.sql");
  const bool created = sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  if (!created) throw std::runtime_error("cannot create the SQLite database");

  const double login = MedianMicros(runs, [&] {
    sql::SqliteClient client(path);
    LoginCheck(client, u"cn_iptcp:127.0.0.1[1972]:MIRLOX");
  });
  const double bare = MedianMicros(runs, [&] {
    sqlite3* handle = nullptr;
    sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(handle, "SELECT 1", nullptr, nullptr, nullptr);
    sqlite3_close_v2(handle);
  });
  // The same row read by hand: what the schema load and the statement cost on their own.
  const double byHand = MedianMicros(runs, [&] {
    sqlite3* handle = nullptr;
    sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(handle, "SELECT * FROM \"MX.ParPersEdv\" WHERE \"ID\" = ?1", -1, &statement,
                       nullptr);
    sqlite3_bind_text(statement, 1, "1||ABC", -1, SQLITE_STATIC);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    sqlite3_close_v2(handle);
  });
  Report("SQLite", login, bare);
  std::printf("%-10s  connect + the user's SELECT by hand %9.1f us (login check / that: %.2f)\n",
              "SQLite", byHand, login / byHand);
}

std::string Scalar(PGconn* conn, const char* query) {
  PGresult* result = PQexec(conn, query);
  std::string value = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0
                          ? PQgetvalue(result, 0, 0)
                          : "";
  if (PQresultStatus(result) != PGRES_TUPLES_OK)
    std::fprintf(stderr, "%s: %s", query, PQerrorMessage(conn));
  PQclear(result);
  return value;
}

// The statements the server executed for kCounted login checks of the client, per login check;
// printed by statement, then in all and those of the user table.
void CountStatements(PGconn* admin, const char* engine, const std::function<void()>& loginCheck) {
  constexpr int kCounted = 50;
  Scalar(admin, "SELECT pg_stat_statements_reset()::text");
  for (int i = 0; i < kCounted; ++i)
    loginCheck();
  PGresult* result = PQexec(admin,
                            "SELECT calls, query FROM pg_stat_statements WHERE query NOT LIKE "
                            "'%pg_stat_statements%' ORDER BY calls DESC, query");
  double all = 0;
  double own = 0;
  for (int row = 0; row < PQntuples(result); ++row) {
    const double calls = std::stod(PQgetvalue(result, row, 0));
    const std::string query = PQgetvalue(result, row, 1);
    all += calls;
    if (query.find("ParPersEdv") != std::string::npos) own += calls;
    std::printf("%-10s    %5.2f x %.90s\n", engine, calls / kCounted, query.c_str());
  }
  PQclear(result);
  std::printf(
      "%-10s  statements per login check: %.2f, of them on the user table: %.2f (%d login "
      "checks)\n",
      engine, all / kCounted, own / kCounted, kCounted);
}

void BenchPostgres(int runs, PGconn* admin, const std::u16string& connectString,
                   const std::string& conninfo) {
  CountStatements(admin, "PostgreSQL", [&] {
    sql::PostgresClient client;
    LoginCheck(client, connectString);
  });
  const double login = MedianMicros(runs, [&] {
    sql::PostgresClient client;
    LoginCheck(client, connectString);
  });
  const double bare = MedianMicros(runs, [&] {
    PGconn* conn = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(conn));
    PQclear(PQexec(conn, "SELECT 1"));
    PQfinish(conn);
  });
  Report("PostgreSQL", login, bare);
}

// The ODBC login check and the libpq one taken in turns, so that a change in the machine's load
// weighs on both alike.
void BenchOdbc(int runs, PGconn* admin, const std::u16string& connectString) {
  const quorel::testing::TempDir folder("quorel-bench-odbc");
  std::ofstream(folder / "odbcinst.ini")
      << "[Quorel PostgreSQL]\nDriver=" << QUOREL_PSQLODBC_DRIVER << "\n";
  std::ofstream(folder / "odbc.ini").flush();
  const quorel::testing::ScopedEnv sysIni("ODBCSYSINI", folder.path().string());
  const quorel::testing::ScopedEnv ini("ODBCINI", (folder / "odbc.ini").string());
  const std::u16string configured =
      u"Driver=Quorel PostgreSQL;Servername=<SERVER>;Port=<PORT>;Database=<NAMESPACE>";
  const auto odbcLogin = [&] {
    sql::OdbcClient client(configured);
    LoginCheck(client, connectString);
  };
  const auto libpqLogin = [&] {
    sql::PostgresClient client;
    LoginCheck(client, connectString);
  };

  CountStatements(admin, "ODBC", odbcLogin);
  std::vector<double> odbc;
  std::vector<double> libpq;
  const auto timed = [](std::vector<double>& times, const std::function<void()>& action) {
    const auto start = Clock::now();
    action();
    times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  };
  const int warmUp = std::max(3, runs / 20);
  for (int i = 0; i < warmUp + runs; ++i) {
    timed(odbc, odbcLogin);
    timed(libpq, libpqLogin);
  }
  const auto median = [&](std::vector<double>& times) {
    times.erase(times.begin(), times.begin() + warmUp);
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[static_cast<std::size_t>(runs / 2)];
  };
  const double odbcMedian = median(odbc);
  const double libpqMedian = median(libpq);
  std::printf("%-10s  login check %9.1f us   through libpq %9.1f us   ratio %.2f (in turns)\n",
              "ODBC", odbcMedian, libpqMedian, odbcMedian / libpqMedian);
}

void BenchServer(int runs, const std::string& port) {
  const std::u16string connectString =
      u"cn_iptcp:127.0.0.1[" + std::u16string(port.begin(), port.end()) + u"]:MIRLOX";
  const std::string conninfo = "host=127.0.0.1 port=" + port + " dbname=MIRLOX";
  PGconn* admin = PQconnectdb(conninfo.c_str());
  if (PQstatus(admin) != CONNECTION_OK)
    throw std::runtime_error(std::string("admin connection: ") + PQerrorMessage(admin));
  BenchPostgres(runs, admin, connectString, conninfo);
  BenchOdbc(runs, admin, connectString);
  PQfinish(admin);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
  try {
    std::printf("median of %d runs each\n", runs);
    BenchSqlite(runs);
    const char* port = std::getenv("QUOREL_PG_PORT");
    if (port && *port)
      BenchServer(runs, port);
    else
      std::printf("PostgreSQL and ODBC not measured: run under scripts/with-postgres\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_sql: %s\n", e.what());
    return 1;
  }
  return 0;
}
