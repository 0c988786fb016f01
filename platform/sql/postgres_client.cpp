#include "platform/sql/postgres_client.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/sql/libpq_loader.h"
#include "platform/sql/name_lookup.h"
#include "platform/sql/object_mapping.h"
#include "platform/text.h"

namespace quorel::sql {

using namespace pq;  // the library is loaded on first use

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kDefaultConnectTimeout{5000};

struct FinishConnection {
  void operator()(PGconn* conn) const { PQfinish(conn); }
};
struct ClearResult {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ClearResult>;

// The server's notices, and the error it sends before it ends a session, would otherwise go
// to stderr; what matters of them shows in the connection status.
void IgnoreNotice(void* /*arg*/, const char* /*message*/) {}

enum class Wait { kReady, kTimeout, kFailed };

// Waits until the socket is ready for the events or the deadline has passed; with whileWaiting,
// in slices of 10 ms with whileWaiting run after each.
Wait WaitForSocket(int socket, short events, Clock::time_point deadline,
                   const std::function<void()>& whileWaiting = {}) {
  if (socket < 0) return Wait::kFailed;
  for (;;) {
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return Wait::kTimeout;
    pollfd fd{socket, events, 0};
    const milliseconds wait = whileWaiting ? std::min(left, milliseconds(10)) : left;
    const int rc = poll(&fd, 1, static_cast<int>(wait.count()));
    if (rc > 0) return Wait::kReady;
    if (rc < 0 && errno != EINTR) return Wait::kFailed;
    if (whileWaiting) whileWaiting();
  }
}

// "a,a,a" for three addresses: libpq pairs each address with its host name.
std::string Repeated(const std::string& item, std::size_t times) {
  std::string list;
  for (std::size_t i = 0; i < times; ++i)
    list += (i ? "," : "") + item;
  return list;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string list;
  for (const auto& item : items)
    list += (list.empty() ? "" : ",") + item;
  return list;
}

std::string Seconds(milliseconds duration) {
  return std::to_string((duration.count() + 999) / 1000) + " s";
}

}  // namespace

milliseconds ConnectTimeoutFromEnvironment() {
  return TimeoutFromEnvironment("PGCONNECT_TIMEOUT", kDefaultConnectTimeout);
}

PostgresClient::PostgresClient(PostgresOptions options) : options_(options) {
  pq::Load();
}

PostgresClient::~PostgresClient() {
  Disconnect();
}

bool PostgresClient::Connect(std::u16string_view connectString) {
  Disconnect();
  lastError_.clear();
  const auto address = ParseConnectString(connectString);
  if (!address) {
    lastError_ = "Verbindungstext nicht lesbar: " + text::ToUtf8(connectString);
    return false;
  }
  const milliseconds timeout = options_.connectTimeout.value_or(ConnectTimeoutFromEnvironment());
  const auto deadline = Clock::now() + timeout;

  // The name is looked up here, within the bound and with events going on: libpq's own lookup
  // would block without either. libpq gets the addresses and keeps the name for TLS and the
  // password file.
  const LookupResult lookup = LookUpHost(address->host, deadline, whileWaiting_);
  if (lookup.timedOut) {
    lastError_ = "Zeitüberschreitung: keine Verbindung nach " + Seconds(timeout) +
                 " (Namensauflösung von »" + address->host + "«)";
    return false;
  }
  if (lookup.addresses.empty()) {
    lastError_ = "Servername »" + address->host + "« nicht auflösbar: " + lookup.error;
    return false;
  }
  const std::string hosts = Repeated(address->host, lookup.addresses.size());
  const std::string addresses = Joined(lookup.addresses);

  // Keepalives let the kernel notice a server that vanished without closing the connection,
  // so that the socket reports an error instead of staying silent.
  const char* const keys[] = {"host",
                              "hostaddr",
                              "port",
                              "dbname",
                              "client_encoding",
                              "fallback_application_name",
                              "keepalives",
                              "keepalives_idle",
                              "keepalives_interval",
                              "keepalives_count",
                              "tcp_user_timeout",
                              nullptr};
  const char* const values[] = {hosts.c_str(),
                                addresses.c_str(),
                                address->port.c_str(),
                                address->database.c_str(),
                                "UTF8",
                                "Quorel",
                                "1",
                                "10",
                                "5",
                                "3",
                                "20000",
                                nullptr};
  // expand_dbname 0: the namespace is a database name, never a connection string of its own.
  std::unique_ptr<PGconn, FinishConnection> conn(PQconnectStartParams(keys, values, 0));
  if (!conn) {
    lastError_ = "libpq: kein Speicher für die Verbindung";
    return false;
  }
  // libpq's own connect_timeout is applied only by its blocking connect; this loop keeps the
  // bound itself, over every step (TCP, SSL, authentication).
  PostgresPollingStatusType state = PGRES_POLLING_WRITING;
  while (PQstatus(conn.get()) != CONNECTION_BAD && state != PGRES_POLLING_OK &&
         state != PGRES_POLLING_FAILED) {
    const short events = state == PGRES_POLLING_READING ? POLLIN : POLLOUT;
    const Wait wait = WaitForSocket(PQsocket(conn.get()), events, deadline, whileWaiting_);
    if (wait == Wait::kTimeout) {
      lastError_ = "Zeitüberschreitung: keine Verbindung nach " + Seconds(timeout);
      return false;
    }
    if (wait == Wait::kFailed) break;
    state = PQconnectPoll(conn.get());
  }
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    lastError_ = TrimEnd(PQerrorMessage(conn.get()));
    if (lastError_.empty()) lastError_ = "Verbindung fehlgeschlagen";
    return false;
  }
  PQsetNoticeProcessor(conn.get(), IgnoreNotice, nullptr);
  if (PQsetnonblocking(conn.get(), 1) != 0) {
    lastError_ = TrimEnd(PQerrorMessage(conn.get()));
    return false;
  }
  conn_ = conn.release();
  return true;
}

bool PostgresClient::IsConnected() {
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) return false;
  // libpq reports CONNECTION_OK until it reads from a dead socket. A few rounds suffice: the
  // server's last error message, then the end of the stream.
  for (int round = 0; round < 8 && PQstatus(conn_) == CONNECTION_OK; ++round) {
    pollfd fd{PQsocket(conn_), POLLIN, 0};
    const int rc = poll(&fd, 1, 0);
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) break;                 // nothing arrived (or poll failed): no news
    if (!PQconsumeInput(conn_)) break;  // end of stream or error: libpq marks the connection bad
    PQisBusy(conn_);                    // parses what arrived
  }
  if (PQstatus(conn_) == CONNECTION_OK) return true;
  lastError_ = TrimEnd(PQerrorMessage(conn_));
  return false;
}

void PostgresClient::Disconnect() {
  // PQfinish tells the server to end the session before it closes the socket.
  if (conn_) PQfinish(conn_);
  conn_ = nullptr;
}

int PostgresClient::BackendPid() const {
  return conn_ ? PQbackendPID(conn_) : 0;
}

std::unique_ptr<platform::ServerObject> PostgresClient::OpenId(std::u16string_view className,
                                                               std::u16string_view id) {
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) throw platform::NotConnectedError(kNotConnected);
  const std::string sql = SelectById(className, Dialect::kPostgres);
  const auto parameter = IdParameter(id);
  if (!parameter) throw platform::ObjectNotFoundError(NotFoundMessage(className, id));

  const auto failed = [&](std::string_view why) {
    return platform::ServerError(QueryFailedMessage(className, why));
  };
  const char* const values[] = {parameter->c_str()};
  if (!PQsendQueryParams(conn_, sql.c_str(), 1, nullptr, values, nullptr, nullptr, 0))
    throw failed(PQerrorMessage(conn_));

  // The socket is non-blocking: send and receive within the bound. A connection that fails
  // on the way, or whose server does not answer in time, is given up (a cancel request could
  // hang just the same), so that it is never left with a statement half done.
  const auto deadline = Clock::now() + options_.queryTimeout;
  const auto broken = [&](Wait wait) {
    const std::string why = wait == Wait::kTimeout ? "Zeitüberschreitung: keine Antwort nach " +
                                                         Seconds(options_.queryTimeout)
                                                   : TrimEnd(PQerrorMessage(conn_));
    Disconnect();
    return failed(why);
  };
  for (;;) {
    const int flushed = PQflush(conn_);
    if (flushed == 0) break;
    if (flushed < 0) throw broken(Wait::kFailed);
    const Wait wait = WaitForSocket(PQsocket(conn_), POLLIN | POLLOUT, deadline);
    if (wait != Wait::kReady || !PQconsumeInput(conn_)) throw broken(wait);
  }
  Result first;
  for (;;) {
    while (PQisBusy(conn_)) {
      const Wait wait = WaitForSocket(PQsocket(conn_), POLLIN, deadline);
      if (wait != Wait::kReady || !PQconsumeInput(conn_)) throw broken(wait);
    }
    Result result(PQgetResult(conn_));
    if (!result) break;
    if (!first) first = std::move(result);
  }
  if (!first) throw failed(PQerrorMessage(conn_));
  if (PQresultStatus(first.get()) != PGRES_TUPLES_OK) {
    const char* primary = PQresultErrorField(first.get(), PG_DIAG_MESSAGE_PRIMARY);
    throw failed(primary ? primary : PQresultErrorMessage(first.get()));
  }
  if (PQntuples(first.get()) == 0)
    throw platform::ObjectNotFoundError(NotFoundMessage(className, id));

  Row row;
  const int columns = PQnfields(first.get());
  for (int i = 0; i < columns; ++i) {
    std::u16string value;
    if (!PQgetisnull(first.get(), 0, i))
      value = text::FromUtf8(std::string_view(
          PQgetvalue(first.get(), 0, i), static_cast<std::size_t>(PQgetlength(first.get(), 0, i))));
    row.emplace_back(text::FromUtf8(PQfname(first.get(), i)), std::move(value));
  }
  return MakeRowObject(className, std::move(row));
}

}  // namespace quorel::sql
