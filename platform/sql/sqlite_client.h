// The server client of the embedded database: one SQLite file, opened read-only.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/server_client.h"

struct sqlite3;

namespace quorel::sql {

struct SqliteOptions {
  // How long a read waits for a writer's lock before it fails.
  std::chrono::milliseconds busyTimeout{2000};
};

class SqliteClient final : public platform::ServerClient {
 public:
  explicit SqliteClient(std::string path, SqliteOptions options = {});
  ~SqliteClient() override;
  SqliteClient(const SqliteClient&) = delete;
  SqliteClient& operator=(const SqliteClient&) = delete;

  // The connection string names a server; the embedded database has none, so it is not read.
  // Opens the file read-only and never creates it; a file that cannot be opened or is no
  // database is a failed connect.
  bool Connect(std::u16string_view connectString) override;
  // Open, and the file at the path is still the one opened (not removed or replaced).
  bool IsConnected() override;
  void Disconnect() override;
  std::unique_ptr<platform::ServerObject> OpenId(std::u16string_view className,
                                                 std::u16string_view id) override;

  const std::string& Path() const { return path_; }
  // Why the last connect failed or is-connected found the file gone, naming the file.
  std::string LastError() const override { return lastError_; }

 private:
  std::string Unusable(const std::string& reason) const;

  std::string path_;
  SqliteOptions options_;
  sqlite3* db_ = nullptr;
  std::uint64_t device_ = 0;
  std::uint64_t inode_ = 0;
  std::string lastError_;
};

}  // namespace quorel::sql
