#include "platform/sql/sqlite_client.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include "platform/sql/object_mapping.h"
#include "platform/sql/sqlite_error_text.h"
#include "platform/text.h"

namespace quorel::sql {

namespace {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

std::u16string ColumnText(sqlite3_stmt* statement, int column) {
  if (sqlite3_column_type(statement, column) == SQLITE_NULL) return {};
  // Integers and reals come back as their decimal text.
  const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  const int size = sqlite3_column_bytes(statement, column);
  return bytes ? text::FromUtf8(std::string_view(bytes, static_cast<std::size_t>(size)))
               : std::u16string();
}

}  // namespace

std::string SqliteClient::Unusable(const std::string& reason) const {
  return "Die Datenbankdatei \u201E" + path_ + "\u201C ist nicht verwendbar: " + reason;
}

SqliteClient::SqliteClient(std::string path, SqliteOptions options)
    : path_(std::move(path)), options_(options) {}

SqliteClient::~SqliteClient() {
  Disconnect();
}

bool SqliteClient::Connect(std::u16string_view /*connectString*/) {
  Disconnect();
  lastError_.clear();
  if (path_.empty()) {
    lastError_ = "Kein Dateiname für die Datenbank";
    return false;
  }
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path_.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, CloseDatabase> db(raw);
  if (rc != SQLITE_OK) {
    lastError_ = Unusable(db ? SqliteReason(db.get()) : SqliteErrorText(rc));
    return false;
  }
  sqlite3_busy_timeout(db.get(), static_cast<int>(options_.busyTimeout.count()));
  // A double-quoted name that is no column must be an error, not the text of the name.
  sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  // Opening reads nothing yet; reading the schema fails on a file that is no database.
  if (sqlite3_exec(db.get(), "PRAGMA schema_version", nullptr, nullptr, nullptr) != SQLITE_OK) {
    lastError_ = Unusable(SqliteReason(db.get()));
    return false;
  }
  struct stat st {};
  if (stat(path_.c_str(), &st) != 0) {
    lastError_ = Unusable("sie ist nicht mehr vorhanden");
    return false;
  }
  device_ = st.st_dev;
  inode_ = st.st_ino;
  db_ = db.release();
  return true;
}

bool SqliteClient::IsConnected() {
  if (!db_) return false;
  struct stat st {};
  if (stat(path_.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_) return true;
  // The file was removed or replaced: what this handle reads is no longer the database.
  lastError_ = Unusable("sie wurde entfernt oder ersetzt");
  Disconnect();
  return false;
}

void SqliteClient::Disconnect() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

std::unique_ptr<platform::ServerObject> SqliteClient::OpenId(std::u16string_view className,
                                                             std::u16string_view id) {
  if (!db_) throw platform::NotConnectedError(kNotConnected);
  const std::string sql = SelectById(className, Dialect::kSqlite);
  const auto parameter = IdParameter(id);
  if (!parameter) throw platform::ObjectNotFoundError(NotFoundMessage(className, id));

  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) !=
      SQLITE_OK)
    throw platform::ServerError(QueryFailedMessage(className, SqliteReason(db_)));
  std::unique_ptr<sqlite3_stmt, FinalizeStatement> statement(raw);
  sqlite3_bind_text(statement.get(), 1, parameter->data(), static_cast<int>(parameter->size()),
                    SQLITE_STATIC);

  const int rc = sqlite3_step(statement.get());
  if (rc == SQLITE_DONE) throw platform::ObjectNotFoundError(NotFoundMessage(className, id));
  if (rc != SQLITE_ROW)
    throw platform::ServerError(QueryFailedMessage(className, SqliteReason(db_)));
  Row row;
  const int columns = sqlite3_column_count(statement.get());
  for (int i = 0; i < columns; ++i)
    row.emplace_back(text::FromUtf8(sqlite3_column_name(statement.get(), i)),
                     ColumnText(statement.get(), i));
  return MakeRowObject(className, std::move(row));
}

}  // namespace quorel::sql
