#include "sql_test_support.h"

#include <arpa/inet.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/posix/whole_file.h"

namespace quorel::sql::testing {

namespace {

// The text of a file under sql/.
std::string SqlFile(const std::string& relative) {
  if (auto text = posix::ReadWholeFile(std::string(QUOREL_SQL_DIR) + "/" + relative)) return *text;
  throw std::runtime_error("cannot read sql/" + relative);
}

struct Sqlite {
  explicit Sqlite(const std::string& path, int flags) {
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK)
      throw std::runtime_error("cannot open " + path + ": " + sqlite3_errmsg(db));
  }
  ~Sqlite() { sqlite3_close_v2(db); }
  void Exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error ? error : "?";
      sqlite3_free(error);
      throw std::runtime_error("sqlite: " + message);
    }
  }
  sqlite3* db = nullptr;
};

}  // namespace

void CreateSqliteDatabase(const std::string& path, const std::vector<std::string>& files) {
  Sqlite db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  for (const auto& file : files)
    db.Exec(SqlFile(file));
}

void SqliteExec(const std::string& path, const std::string& sql) {
  Sqlite(path, SQLITE_OPEN_READWRITE).Exec(sql);
}

long SqliteCount(const std::string& path, const std::string& table) {
  Sqlite db(path, SQLITE_OPEN_READONLY);
  sqlite3_stmt* statement = nullptr;
  const std::string sql = "SELECT count(*) FROM " + table;
  if (sqlite3_prepare_v2(db.db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) return -1;
  const long count =
      sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
  sqlite3_finalize(statement);
  return count;
}

void UseTestOdbcDrivers() {
  static std::unique_ptr<TempDir> folder;  // removed when the process ends
  if (folder) return;
  for (const char* driver : {QUOREL_PSQLODBC_DRIVER, QUOREL_SQLITEODBC_DRIVER})
    ASSERT_TRUE(std::filesystem::exists(driver))
        << "ODBC driver not installed (scripts/bootstrap installs it): " << driver;
  folder = std::make_unique<TempDir>("quorel-odbc");
  std::ofstream(*folder / "odbcinst.ini")
      << "[Quorel PostgreSQL]\nDriver=" QUOREL_PSQLODBC_DRIVER "\n\n"
      << "[Quorel SQLite]\nDriver=" QUOREL_SQLITEODBC_DRIVER "\n";
  std::ofstream(*folder / "odbc.ini").flush();
  static const ScopedEnv sysIni("ODBCSYSINI", folder->path().string());
  static const ScopedEnv ini("ODBCINI", (*folder / "odbc.ini").string());
}

void RequireCluster() {
  if (const char* skip = std::getenv("QUOREL_SKIP_SERVER_TESTS"); skip && std::string(skip) == "1")
    GTEST_SKIP() << "QUOREL_SKIP_SERVER_TESTS=1: PostgreSQL tests not run";
  for (const char* name : {"QUOREL_PG_PORT", "QUOREL_PG_CTL", "PGUSER", "PGPASSWORD"}) {
    const char* value = std::getenv(name);
    ASSERT_TRUE(value && *value)
        << name << " is not set: run the PostgreSQL tests under scripts/with-postgres (e.g. "
        << "scripts/with-postgres ctest --test-dir build -L server), or set "
        << "QUOREL_SKIP_SERVER_TESTS=1 to leave them out";
  }
}

std::string ClusterPort() {
  const char* port = std::getenv("QUOREL_PG_PORT");
  return port ? port : "";
}

PgAdmin::PgAdmin() {
  const std::string conninfo = "host=127.0.0.1 port=" + ClusterPort() +
                               " dbname=MIRLOX connect_timeout=5 application_name=quorel-admin";
  conn_ = PQconnectdb(conninfo.c_str());
  EXPECT_EQ(PQstatus(conn_), CONNECTION_OK) << "admin connection: " << PQerrorMessage(conn_);
}

PgAdmin::~PgAdmin() {
  PQfinish(conn_);
}

std::vector<std::string> PgAdmin::Column(const std::string& sql) {
  std::vector<std::string> out;
  PGresult* result = PQexec(conn_, sql.c_str());
  const auto status = PQresultStatus(result);
  if (status == PGRES_TUPLES_OK) {
    for (int row = 0; row < PQntuples(result); ++row)
      out.emplace_back(PQgetvalue(result, row, 0));
  } else if (status != PGRES_COMMAND_OK) {
    ADD_FAILURE() << sql << ": " << PQerrorMessage(conn_);
  }
  PQclear(result);
  return out;
}

std::string PgAdmin::Scalar(const std::string& sql) {
  const auto column = Column(sql);
  return column.empty() ? std::string() : column.front();
}

void PgAdmin::Exec(const std::string& sql) {
  Column(sql);
}

std::string PgAdmin::Sessions(int pid) {
  return Scalar("SELECT count(*) FROM pg_stat_activity WHERE pid = " + std::to_string(pid));
}

bool SessionEnds(PgAdmin& admin, int pid, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (admin.Sessions(pid) != "0") {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

namespace {

// A TCP socket bound to 127.0.0.1 on a port the kernel picks; returns the port.
int BindLoopback(int fd) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 0;
  socklen_t size = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  return ntohs(address.sin_port);
}

}  // namespace

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const int port = fd >= 0 ? BindLoopback(fd) : 0;
  if (fd >= 0) close(fd);
  return port;
}

SilentListener::SilentListener() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
  if (fd_ >= 0) port_ = BindLoopback(fd_);
  if (port_ == 0 || listen(fd_, 16) != 0) port_ = 0;
  EXPECT_NE(port_, 0) << "no loopback listener";
}

SilentListener::~SilentListener() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace quorel::sql::testing
