// The server client of non-Windows builds, chosen by the environment variable MIRLOX_SERVER:
//   unset, empty or "sqlite"  the embedded database file at DefaultDatabasePath()
//   "sqlite:PATH"             the embedded database file PATH
//   "postgresql"              a PostgreSQL server through libpq
//   "odbc:CONNECTION"         any server through its ODBC driver; CONNECTION is the ODBC
//                             connection string (odbc_connection_string.h)
// Any other value gives a factory whose Create() throws ServerError naming the accepted
// values (platform/server_choice.h).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/server_client.h"

namespace quorel::sql {

// $XDG_DATA_HOME/mirlox/MIRLOX.sqlite3, with $HOME/.local/share when XDG_DATA_HOME is unset,
// empty or not an absolute path. Throws ServerError when there is no home folder either.
std::string DefaultDatabasePath();

std::unique_ptr<platform::ServerClientFactory> CreateServerClientFactory();
// The same for a given value of MIRLOX_SERVER; nothing stands for unset.
std::unique_ptr<platform::ServerClientFactory> CreateServerClientFactory(
    std::optional<std::string_view> setting);

}  // namespace quorel::sql
