// The server client of a PostgreSQL server, through libpq.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/server_client.h"

struct pg_conn;

namespace quorel::sql {

struct PostgresOptions {
  // The bound of one connect; when not given, PGCONNECT_TIMEOUT, else 5 s.
  std::optional<std::chrono::milliseconds> connectTimeout;
  // The bound of one statement, from sending it to its last result.
  std::chrono::milliseconds queryTimeout{15000};
};

// The connect bound PGCONNECT_TIMEOUT asks for: whole seconds above zero; anything else,
// including libpq's "0 = wait forever", gives the default of 5 s.
std::chrono::milliseconds ConnectTimeoutFromEnvironment();

class PostgresClient final : public platform::ServerClient {
 public:
  explicit PostgresClient(PostgresOptions options = {});
  ~PostgresClient() override;
  PostgresClient(const PostgresClient&) = delete;
  PostgresClient& operator=(const PostgresClient&) = delete;

  // Host, port and database from the connection string; user, password, SSL and the rest
  // from libpq's environment and password file. A text that does not parse is a failed
  // connect, and so is a server that has not completed the connect within the bound.
  // The host name is looked up within the same bound; events go on meanwhile, and while the
  // server is reached (whileWaiting).
  bool Connect(std::u16string_view connectString) override;
  void SetWhileWaiting(const std::function<void()>& whileWaiting) override {
    whileWaiting_ = whileWaiting;
  }
  // Looks at the socket without waiting and lets libpq read what the server sent: a server
  // that shut down or dropped the session has sent its farewell or closed the stream.
  bool IsConnected() override;
  // Ends the session on the server.
  void Disconnect() override;
  std::unique_ptr<platform::ServerObject> OpenId(std::u16string_view className,
                                                 std::u16string_view id) override;

  // Why the last connect failed or is-connected found the connection gone, in libpq's words.
  std::string LastError() const override { return lastError_; }
  // The server process of the session, 0 when not connected.
  int BackendPid() const;

 private:
  PostgresOptions options_;
  pg_conn* conn_ = nullptr;
  std::string lastError_;
  std::function<void()> whileWaiting_;
};

}  // namespace quorel::sql
