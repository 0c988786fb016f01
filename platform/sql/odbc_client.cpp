#include "platform/sql/odbc_client.h"

#include <algorithm>
#include <variant>
#include <vector>

#include "platform/sql/odbc_connection_string.h"
#include "platform/sql/odbc_loader.h"
#include "platform/text.h"

namespace quorel::sql {

using namespace odbc;  // the driver manager is loaded on first use

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using WideString = std::basic_string<SQLWCHAR>;

constexpr milliseconds kDefaultLoginTimeout{5000};
// A driver's timeout is whole seconds and ends the wait at its own moment, a little after it.
constexpr milliseconds kTimeoutSlack{100};
// A table name the catalog question of the probe looks for; whether it exists does not matter.
constexpr std::u16string_view kProbeTable = u"MIRLOX_VERBINDUNGSTEST";

WideString Wide(std::u16string_view text) {
  return WideString(text.begin(), text.end());
}

std::u16string FromWide(const SQLWCHAR* text, std::size_t length) {
  return std::u16string(text, text + length);
}

SQLULEN WholeSeconds(milliseconds bound) {
  return static_cast<SQLULEN>(std::max<long long>(1, (bound.count() + 999) / 1000));
}

std::string SecondsText(milliseconds bound) {
  return std::to_string(WholeSeconds(bound)) + " s";
}

// ODBC passes integer attributes in the pointer argument.
SQLPOINTER IntegerAttribute(SQLULEN value) {
  return reinterpret_cast<SQLPOINTER>(value);  // NOLINT(performance-no-int-to-ptr)
}

struct Diagnostic {
  std::string state;
  std::string text;
};

// The driver's (or driver manager's) records of the last call on the handle.
std::vector<Diagnostic> Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<Diagnostic> records;
  std::vector<SQLWCHAR> message(512);
  for (SQLSMALLINT number = 1; number <= 8;) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRecW(type, handle, number, state, &native, message.data(),
                                        static_cast<SQLSMALLINT>(message.size()), &length);
    if (!SQL_SUCCEEDED(rc)) break;
    if (static_cast<std::size_t>(length) >= message.size() && message.size() < 8192) {
      message.resize(static_cast<std::size_t>(length) + 1);  // cut short: ask again
      continue;
    }
    const std::size_t used =
        std::min<std::size_t>(static_cast<std::size_t>(length), message.size() - 1);
    records.push_back(
        {text::ToUtf8(FromWide(state, 5)), TrimEnd(text::ToUtf8(FromWide(message.data(), used)))});
    ++number;
  }
  return records;
}

std::string Describe(const std::vector<Diagnostic>& records) {
  std::string out;
  for (const auto& record : records) {
    if (!out.empty()) out += "; ";
    out += record.text + " (SQLSTATE " + record.state + ")";
  }
  return out.empty() ? "keine Meldung des ODBC-Treibers" : out;
}

std::string Describe(SQLSMALLINT type, SQLHANDLE handle) {
  return Describe(Diagnostics(type, handle));
}

// The driver manager answered alone: no driver was reached (not installed, no such data
// source, a connection string it cannot read). Its states are IM..., with unixODBC's
// "Can't open lib" a bare warning 01000.
bool OnlyDriverManager(const std::vector<Diagnostic>& records) {
  return !records.empty() && std::all_of(records.begin(), records.end(), [](const Diagnostic& d) {
    return d.state.starts_with("IM") || d.state.starts_with("01");
  });
}

struct Statement {
  SQLHSTMT handle = SQL_NULL_HSTMT;
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { Free(); }
  void Free() {
    if (handle) SQLFreeHandle(SQL_HANDLE_STMT, handle);
    handle = SQL_NULL_HSTMT;
  }
};

std::optional<std::u16string> ColumnName(SQLHSTMT statement, SQLUSMALLINT column) {
  std::vector<SQLWCHAR> buffer(128);
  for (;;) {
    SQLSMALLINT bytes = 0;  // lengths of the wide call's character attributes are in bytes
    const SQLRETURN rc = SQLColAttributeW(
        statement, column, SQL_DESC_NAME, buffer.data(),
        static_cast<SQLSMALLINT>(buffer.size() * sizeof(SQLWCHAR)), &bytes, nullptr);
    if (!SQL_SUCCEEDED(rc)) return std::nullopt;
    const std::size_t length = static_cast<std::size_t>(bytes) / sizeof(SQLWCHAR);
    if (length < buffer.size() || buffer.size() >= 4096)
      return FromWide(buffer.data(), std::min(length, buffer.size() - 1));
    buffer.resize(length + 1);
  }
}

// The column as text, in as many parts as the driver needs; NULL is empty text.
std::optional<std::u16string> ColumnText(SQLHSTMT statement, SQLUSMALLINT column) {
  std::u16string out;
  std::vector<SQLWCHAR> buffer(1024);
  const std::size_t room = buffer.size() - 1;  // the driver ends each part with a 0
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc =
        SQLGetData(statement, column, SQL_C_WCHAR, buffer.data(),
                   static_cast<SQLLEN>(buffer.size() * sizeof(SQLWCHAR)), &indicator);
    if (rc == SQL_NO_DATA) return out;
    if (!SQL_SUCCEEDED(rc)) return std::nullopt;
    if (indicator == SQL_NULL_DATA) return std::u16string();
    const std::size_t got =
        indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) > room
            ? room
            : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
    out.append(FromWide(buffer.data(), got));
    if (rc == SQL_SUCCESS || got < room) return out;  // else cut short: the rest follows
  }
}

// The id of a row as the program compares it: a fixed-length column pads its text with blanks.
std::u16string_view WithoutPadding(std::u16string_view id) {
  return id.substr(0, id.find_last_not_of(u' ') + 1);
}

class OdbcFactory final : public platform::ServerClientFactory {
 public:
  explicit OdbcFactory(std::u16string configured) : configured_(std::move(configured)) {}
  std::unique_ptr<platform::ServerClient> Create() override {
    return std::make_unique<OdbcClient>(configured_);
  }

 private:
  std::u16string configured_;
};

}  // namespace

milliseconds LoginTimeoutFromEnvironment() {
  return TimeoutFromEnvironment("MIRLOX_LOGIN_TIMEOUT", kDefaultLoginTimeout);
}

std::unique_ptr<platform::ServerClientFactory> MakeOdbcFactory(std::u16string configured) {
  return std::make_unique<OdbcFactory>(std::move(configured));
}

platform::ServerChoice OdbcServerChoice() {
  return {.value = "odbc:",
          .parameter = u"VERBINDUNG",
          .description =
              u"ein Server über seinen ODBC-Treiber, VERBINDUNG ist die "
              u"ODBC-Verbindungszeichenfolge",
          .make = [](std::string_view connection) {
            return MakeOdbcFactory(text::FromUtf8(connection));
          }};
}

OdbcClient::OdbcClient(std::u16string configured, OdbcOptions options)
    : configured_(std::move(configured)), options_(options) {
  odbc::Load();
}

OdbcClient::~OdbcClient() {
  Disconnect();
}

bool OdbcClient::Connect(std::u16string_view connectString) {
  Disconnect();
  lastError_.clear();
  auto driverString = DriverConnectionString(configured_, connectString);
  if (const auto* why = std::get_if<std::string>(&driverString)) {
    lastError_ = *why;
    return false;
  }
  const milliseconds timeout = options_.loginTimeout.value_or(LoginTimeoutFromEnvironment());

  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_)))
    throw platform::ServerError("ODBC: keine Umgebung für eine Verbindung");
  if (!SQL_SUCCEEDED(
          SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, IntegerAttribute(SQL_OV_ODBC3), 0)) ||
      !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
    const std::string why = Describe(SQL_HANDLE_ENV, env_);
    Disconnect();
    throw platform::ServerError("ODBC: keine Verbindung möglich: " + why);
  }
  // A driver that has no login timeout says so here or when connecting, and carries on.
  SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT, IntegerAttribute(WholeSeconds(timeout)), 0);

  WideString wide = Wide(std::get<std::u16string>(driverString));
  const auto start = Clock::now();
  const SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, wide.data(), SQL_NTS, nullptr, 0, nullptr,
                                         SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    const auto records = Diagnostics(SQL_HANDLE_DBC, dbc_);
    Disconnect();
    if (OnlyDriverManager(records))
      throw platform::ServerError("Die ODBC-Verbindung ist falsch eingerichtet: " +
                                  Describe(records));
    lastError_ = Describe(records);
    if (Clock::now() - start >= timeout - kTimeoutSlack)
      lastError_ =
          "Zeitüberschreitung: keine Verbindung nach " + SecondsText(timeout) + ": " + lastError_;
    return false;
  }
  connected_ = true;

  // How this database names tables: with schemas or without, and its quote character.
  SQLUINTEGER schemaUsage = 0;
  SQLWCHAR quote[8] = {};
  SQLSMALLINT quoteBytes = 0;
  if (!SQL_SUCCEEDED(
          SQLGetInfoW(dbc_, SQL_SCHEMA_USAGE, &schemaUsage, sizeof schemaUsage, nullptr)) ||
      !SQL_SUCCEEDED(
          SQLGetInfoW(dbc_, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &quoteBytes))) {
    lastError_ = Describe(SQL_HANDLE_DBC, dbc_);
    Disconnect();
    return false;
  }
  const std::size_t quoteLength =
      std::min<std::size_t>(static_cast<std::size_t>(quoteBytes) / sizeof(SQLWCHAR), 7);
  syntax_ = Syntax{.schemas = (schemaUsage & SQL_SU_DML_STATEMENTS) != 0,
                   .quote = text::ToUtf8(FromWide(quote, quoteLength)),
                   .parameter = "?"};
  lastAnswer_ = Clock::now();
  return true;
}

bool OdbcClient::IsConnected() {
  if (!connected_) return false;
  SQLUINTEGER dead = SQL_CD_FALSE;
  if (SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
      dead == SQL_CD_TRUE) {
    lastError_ = "Der ODBC-Treiber meldet die Verbindung als abgebrochen";
    Disconnect();
    return false;
  }
  if (Clock::now() - lastAnswer_ < options_.quietBeforeProbe) return true;
  if (Probe()) return true;
  Disconnect();
  return false;
}

bool OdbcClient::Probe() {
  Statement statement;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &statement.handle))) {
    lastError_ = Describe(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  SQLSetStmtAttrW(statement.handle, SQL_ATTR_QUERY_TIMEOUT,
                  IntegerAttribute(WholeSeconds(options_.probeTimeout)), 0);
  WideString table = Wide(kProbeTable);
  if (!SQL_SUCCEEDED(SQLTablesW(statement.handle, nullptr, 0, nullptr, 0, table.data(), SQL_NTS,
                                nullptr, 0))) {
    lastError_ = Describe(SQL_HANDLE_STMT, statement.handle);
    return false;
  }
  lastAnswer_ = Clock::now();
  return true;
}

void OdbcClient::Disconnect() {
  // Disconnecting ends the session on the server; freeing the handles releases the driver.
  if (dbc_) {
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  }
  if (env_) SQLFreeHandle(SQL_HANDLE_ENV, env_);
  dbc_ = nullptr;
  env_ = nullptr;
  connected_ = false;
}

std::unique_ptr<platform::ServerObject> OdbcClient::OpenId(std::u16string_view className,
                                                           std::u16string_view id) {
  if (!connected_) throw platform::NotConnectedError(kNotConnected);
  const std::u16string sql = text::FromUtf8(SelectById(className, syntax_));
  const auto parameter = IdParameter(id);
  if (!parameter) throw platform::ObjectNotFoundError(NotFoundMessage(className, id));
  // Through UTF-8 like the other clients: a lone surrogate becomes U+FFFD.
  const std::u16string exactId = text::FromUtf8(*parameter);
  const auto failed = [&](const std::string& why) {
    return platform::ServerError(QueryFailedMessage(className, why));
  };

  Statement statement;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &statement.handle)))
    throw failed(Describe(SQL_HANDLE_DBC, dbc_));
  const SQLHSTMT st = statement.handle;
  const auto start = Clock::now();
  // A lost connection, or a server that did not answer in time, is given up; after any other
  // failure the next is-connected asks the server, since only the driver knows which it was.
  const auto statementFailed = [&] {
    const auto records = Diagnostics(SQL_HANDLE_STMT, st);
    std::string why = Describe(records);
    bool giveUp = std::any_of(records.begin(), records.end(),
                              [](const Diagnostic& d) { return d.state.starts_with("08"); });
    if (Clock::now() - start >= options_.queryTimeout - kTimeoutSlack) {
      why = "Zeitüberschreitung: keine Antwort nach " + SecondsText(options_.queryTimeout) + ": " +
            why;
      giveUp = true;
    }
    statement.Free();  // before the connection it belongs to
    if (giveUp)
      Disconnect();
    else
      lastAnswer_ = {};
    return failed(why);
  };

  // A driver without a query timeout says so and carries on.
  SQLSetStmtAttrW(st, SQL_ATTR_QUERY_TIMEOUT, IntegerAttribute(WholeSeconds(options_.queryTimeout)),
                  0);
  WideString idValue = Wide(exactId);
  SQLLEN idBytes = static_cast<SQLLEN>(idValue.size() * sizeof(SQLWCHAR));
  if (!SQL_SUCCEEDED(SQLBindParameter(st, 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                      std::max<SQLULEN>(1, idValue.size()), 0, idValue.data(),
                                      idBytes, &idBytes)))
    throw failed(Describe(SQL_HANDLE_STMT, st));

  WideString wideSql = Wide(sql);
  SQLRETURN rc = SQLExecDirectW(st, wideSql.data(), SQL_NTS);
  if (rc == SQL_NO_DATA) throw platform::ObjectNotFoundError(NotFoundMessage(className, id));
  if (!SQL_SUCCEEDED(rc)) throw statementFailed();
  SQLSMALLINT columns = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(st, &columns))) throw statementFailed();
  if (columns <= 0) throw failed("die Abfrage gab keine Spalten zurück");

  while (SQL_SUCCEEDED(rc = SQLFetch(st))) {
    Row row;
    std::optional<std::u16string> rowId;
    for (SQLSMALLINT i = 1; i <= columns; ++i) {
      const auto column = static_cast<SQLUSMALLINT>(i);
      auto name = ColumnName(st, column);
      auto value = name ? ColumnText(st, column) : std::nullopt;
      if (!value) throw statementFailed();
      if (*name == u"ID") rowId = *value;
      row.emplace_back(std::move(*name), std::move(*value));
    }
    lastAnswer_ = Clock::now();
    if (!rowId) throw failed("die Tabelle hat keine Spalte \"ID\"");
    if (WithoutPadding(*rowId) == exactId) return MakeRowObject(className, std::move(row));
  }
  if (rc != SQL_NO_DATA) throw statementFailed();
  lastAnswer_ = Clock::now();
  throw platform::ObjectNotFoundError(NotFoundMessage(className, id));
}

}  // namespace quorel::sql
