#include "platform/sql/server_factory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/server_choice.h"
#include "platform/sql/odbc_client.h"
#include "platform/sql/postgres_client.h"
#include "platform/sql/sqlite_client.h"

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
  const platform::ServerChoice choices[] = {
      {.value = "sqlite",
       .description = u"die eingebettete Datenbank",
       .byDefault = true,
       .make =
           [](std::string_view) { return std::make_unique<SqliteFactory>(DefaultDatabasePath()); }},
      {.value = "sqlite:",
       .parameter = u"PFAD",
       .description = u"eine andere Datenbankdatei",
       .make =
           [](std::string_view path) {
             return std::make_unique<SqliteFactory>(std::string(path));
           }},
      {.value = "postgresql",
       .description = u"ein PostgreSQL-Server",
       .make = [](std::string_view) { return std::make_unique<PostgresFactory>(); }},
      OdbcServerChoice(),
  };
  return platform::ChooseServer(choices, setting);
}

}  // namespace quorel::sql
