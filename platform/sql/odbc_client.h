// The server client of any database server with an ODBC driver, through the driver manager
// (unixODBC, odbc32 on Windows), loaded when the first client is made.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/server_choice.h"
#include "platform/server_client.h"
#include "platform/sql/object_mapping.h"

namespace quorel::sql {

struct OdbcOptions {
  // The bound of one connect, handed to the driver as its login timeout; when not given,
  // MIRLOX_LOGIN_TIMEOUT, else 5 s.
  std::optional<std::chrono::milliseconds> loginTimeout;
  // The bound of one statement, handed to the driver as its query timeout.
  std::chrono::milliseconds queryTimeout{15000};
  // Is-connected asks the server only when the connection has been quiet this long: right
  // after an answer the connection is known to be alive, and a login check stays one
  // statement.
  std::chrono::milliseconds quietBeforeProbe{1000};
  // The bound of that question.
  std::chrono::milliseconds probeTimeout{5000};
};

// The login timeout MIRLOX_LOGIN_TIMEOUT asks for: whole seconds above zero; anything else
// gives the default of 5 s.
std::chrono::milliseconds LoginTimeoutFromEnvironment();

class OdbcClient final : public platform::ServerClient {
 public:
  // configured: the ODBC connection string, with the marks for server, port and namespace
  // where the driver takes them (odbc_connection_string.h). Loads the driver manager; throws
  // ServerError when it cannot.
  explicit OdbcClient(std::u16string configured, OdbcOptions options = {});
  ~OdbcClient() override;
  OdbcClient(const OdbcClient&) = delete;
  OdbcClient& operator=(const OdbcClient&) = delete;

  // A server that cannot be reached, refuses the login or does not complete it within the
  // login timeout is a failed connect, and so is a connection string whose server, port or
  // namespace cannot be used. A failure of the driver manager itself (driver not installed,
  // no such data source) is a mistake of the configuration: ServerError in its words.
  bool Connect(std::u16string_view connectString) override;
  // Not connected when the driver knows the connection is dead (SQL_ATTR_CONNECTION_DEAD).
  // Drivers learn that only from a failed request, so after a quiet spell a catalog question
  // (SQLTables, bounded by the probe timeout) must succeed as well.
  bool IsConnected() override;
  // Ends the session on the server.
  void Disconnect() override;
  // One statement with the id as its parameter; the first row whose "ID" is the id exactly
  // (the server's collation may ignore case or trailing blanks), apart from the blanks a
  // fixed-length column pads it with, is the object.
  std::unique_ptr<platform::ServerObject> OpenId(std::u16string_view className,
                                                 std::u16string_view id) override;

  const std::u16string& Configured() const { return configured_; }
  // Why the last connect or probe failed, in the driver's words.
  std::string LastError() const override { return lastError_; }

 private:
  bool Probe();

  std::u16string configured_;
  OdbcOptions options_;
  void* env_ = nullptr;
  void* dbc_ = nullptr;
  bool connected_ = false;
  Syntax syntax_;
  std::chrono::steady_clock::time_point lastAnswer_;
  std::string lastError_;
};

// The clients of one configured ODBC connection string.
std::unique_ptr<platform::ServerClientFactory> MakeOdbcFactory(std::u16string configured);
// The choice "odbc:CONNECTION" of MIRLOX_SERVER, CONNECTION the configured connection string
// in UTF-8, for every build that has the ODBC client.
platform::ServerChoice OdbcServerChoice();

}  // namespace quorel::sql
