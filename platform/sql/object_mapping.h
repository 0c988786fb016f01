// What the SQL clients share: the server address in a connection string, the table a server
// class lives in, and the server object that serves the properties of one fetched row.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/server_client.h"

namespace quorel::sql {

// "cn_iptcp:HOST[PORT]:NS" taken apart, as UTF-8.
struct ServerAddress {
  std::string host;
  std::string port;
  std::string database;
  bool operator==(const ServerAddress&) const = default;
};

// Nothing when the text does not have that form: the host must be a plain host name or IP
// address (no list of hosts, no socket folder), the port a number from 1 to 65535, and the
// namespace must not be empty.
std::optional<ServerAddress> ParseConnectString(std::u16string_view connectString);

enum class Dialect { kSqlite, kPostgres };

// What the statement that opens an object depends on in a database's SQL.
struct Syntax {
  // Whether a table lives in a schema named in front of it ("MX"."ParPersEdv").
  bool schemas = false;
  // The character that quotes a name; blank when the database quotes none.
  std::string quote = "\"";
  // The marker of the statement's only parameter.
  std::string parameter = "?";
};
Syntax SyntaxOf(Dialect dialect);

// The quoted table of a server class. Where tables live in schemas, the part of the class
// name before the last '.' is the schema and the rest the table ("MX.ParPersEdv" ->
// "MX"."ParPersEdv"); elsewhere the whole class name is one table name ("MX.ParPersEdv").
// Without a quote character only plain names (letters, digits, '_') can be used.
// Throws ServerError for a name that cannot be a table (empty parts, NUL).
std::string TableOf(std::u16string_view className, const Syntax& syntax);
std::string TableOf(std::u16string_view className, Dialect dialect);

// The one statement that opens an object: the whole row with the id as its only parameter.
std::string SelectById(std::u16string_view className, const Syntax& syntax);
std::string SelectById(std::u16string_view className, Dialect dialect);

// The columns of a fetched row in table order, by name, NULL already read as empty text.
using Row = std::vector<std::pair<std::u16string, std::u16string>>;

// The server object of a fetched row: properties are served from the row, "sys_Close"
// releases it.
std::unique_ptr<platform::ServerObject> MakeRowObject(std::u16string_view className, Row row);

// The UTF-8 id for a statement parameter, or nothing when no row can have that id: text
// columns never hold NUL, and PostgreSQL would cut the parameter at the first one.
std::optional<std::string> IdParameter(std::u16string_view id);

// The user's messages of the clients.
inline constexpr const char* kNotConnected = "Keine Verbindung zum Server";
std::string NotFoundMessage(std::u16string_view className, std::u16string_view id);
std::string QueryFailedMessage(std::u16string_view className, std::string_view engineMessage);

// The bound an environment variable asks for: whole seconds above zero, at most an hour;
// unset or anything else (including "0", which some clients read as "wait forever") gives
// the fallback.
std::chrono::milliseconds TimeoutFromEnvironment(const char* name,
                                                 std::chrono::milliseconds fallback);

// An engine message without the line breaks and blanks it ends with.
std::string TrimEnd(std::string_view message);

}  // namespace quorel::sql
