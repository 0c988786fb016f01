#include "platform/sql/server_factory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/sql/odbc_client.h"
#include "platform/sql/postgres_client.h"
#include "platform/sql/sqlite_client.h"
#include "platform/text.h"

namespace quorel::sql {

namespace {

class SqliteFactory final : public platform::ServerClientFactory {
 public:
  explicit SqliteFactory(std::string path) : path_(std::move(path)) {}
  std::unique_ptr<platform::ServerClient> Create() override {
    return std::make_unique<SqliteClient>(path_);
  }

 private:
  std::string path_;
};

class PostgresFactory final : public platform::ServerClientFactory {
 public:
  std::unique_ptr<platform::ServerClient> Create() override {
    return std::make_unique<PostgresClient>();
  }
};

// A setting that names no client: every attempt to create one reports why.
class RefusingFactory final : public platform::ServerClientFactory {
 public:
  explicit RefusingFactory(std::string message) : message_(std::move(message)) {}
  std::unique_ptr<platform::ServerClient> Create() override {
    throw platform::ServerError(message_);
  }

 private:
  std::string message_;
};

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir && *found->pw_dir)
    return found->pw_dir;
  return {};
}

}  // namespace

std::string DefaultDatabasePath() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const std::string home = HomeFolder();
    if (home.empty())
      throw platform::ServerError(
          "Kein Ort für die eingebettete Datenbank: weder XDG_DATA_HOME noch HOME ist gesetzt");
    base = home + "/.local/share";
  }
  return base + "/mirlox/MIRLOX.sqlite3";
}

std::unique_ptr<platform::ServerClientFactory> CreateServerClientFactory() {
  const char* value = std::getenv("MIRLOX_SERVER");
  return CreateServerClientFactory(value ? std::optional<std::string_view>(value) : std::nullopt);
}

std::unique_ptr<platform::ServerClientFactory> CreateServerClientFactory(
    std::optional<std::string_view> setting) {
  constexpr std::string_view kFile = "sqlite:";
  constexpr std::string_view kOdbc = "odbc:";
  try {
    if (!setting || setting->empty() || *setting == "sqlite")
      return std::make_unique<SqliteFactory>(DefaultDatabasePath());
    if (setting->starts_with(kFile) && setting->size() > kFile.size())
      return std::make_unique<SqliteFactory>(std::string(setting->substr(kFile.size())));
    if (*setting == "postgresql") return std::make_unique<PostgresFactory>();
    if (setting->starts_with(kOdbc) && setting->size() > kOdbc.size())
      return MakeOdbcFactory(text::FromUtf8(setting->substr(kOdbc.size())));
  } catch (const platform::ServerError& error) {
    return std::make_unique<RefusingFactory>(error.what());
  }
  return std::make_unique<RefusingFactory>(
      "Die Umgebungsvariable MIRLOX_SERVER hat den ungültigen Wert »" + std::string(*setting) +
      "«. Erlaubt sind: sqlite (die eingebettete Datenbank), sqlite:PFAD (eine andere "
      "Datenbankdatei), postgresql (ein PostgreSQL-Server) und odbc:VERBINDUNG (ein Server "
      "über seinen ODBC-Treiber, VERBINDUNG ist die ODBC-Verbindungszeichenfolge).");
}

}  // namespace quorel::sql
