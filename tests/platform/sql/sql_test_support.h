// What the database tests share: the embedded test database built from sql/, and access to the
// PostgreSQL test cluster beside the program (to count rows, see sessions, end them).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/server_client.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

struct pg_conn;

namespace quorel::sql::testing {

using quorel::testing::ScopedEnv;
using quorel::testing::TempDir;

// Creates the embedded database at path from the SQL files (relative to sql/).
void CreateSqliteDatabase(const std::string& path, const std::vector<std::string>& files);
// Runs one statement on the database at path, for setting up and checking.
void SqliteExec(const std::string& path, const std::string& sql);
long SqliteCount(const std::string& path, const std::string& table);

// Registers the ODBC drivers of the tests in an odbcinst.ini of this process's own (ODBCSYSINI),
// never the system's, under the names "Quorel PostgreSQL" and "Quorel SQLite". Fails the test
// when a driver is not installed. Call from SetUp; later calls do nothing.
void UseTestOdbcDrivers();

// The test database of the engines on SQLite, in a file of its own: the schema and the test
// users of sql/. The host and port the program connects with mean nothing to them.
struct SqliteTestDatabase {
  static constexpr char kNoSuchTable[] = "no such table";

  void SetUp() { CreateSqliteDatabase(path, {"sqlite/schema.sql", "sqlite/test-users.sql"}); }
  std::u16string Port() { return u"1972"; }
  long RowCount() { return SqliteCount(path, "\"MX.ParPersEdv\""); }

  TempDir dir;
  std::string path = (dir / "MIRLOX.sqlite3").string();
};

// The cluster of scripts/with-postgres. Fails the test when its environment is missing,
// skips it when QUOREL_SKIP_SERVER_TESTS=1. Call from SetUp.
void RequireCluster();
std::string ClusterPort();

// A connection of its own to the test cluster, as the test role.
class PgAdmin {
 public:
  PgAdmin();
  ~PgAdmin();
  PgAdmin(const PgAdmin&) = delete;
  PgAdmin& operator=(const PgAdmin&) = delete;

  // The first column of the rows; a failing statement fails the test and gives nothing.
  std::vector<std::string> Column(const std::string& sql);
  std::string Scalar(const std::string& sql);
  void Exec(const std::string& sql);
  // How many sessions the server process pid has: "1" or "0".
  std::string Sessions(int pid);

 private:
  pg_conn* conn_;
};

// Waits, bounded, until the server process pid is no longer in pg_stat_activity.
bool SessionEnds(PgAdmin& admin, int pid, std::chrono::milliseconds bound);

// A port on 127.0.0.1 that nothing listens on at the time of the call.
int FreePort();

// A loopback listener whose connections the kernel accepts and nobody ever answers.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace quorel::sql::testing
