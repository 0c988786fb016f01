#include "platform/sql/object_mapping.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <map>

#include "platform/text.h"

namespace quorel::sql {

namespace {

bool IsHostChar(char c) {
  // Letters, digits, '.', '-' and '_' for names; ':' and '%' for IPv6 addresses and zones.
  // Everything else stays out, above all ',' (a list of hosts) and '/' (a socket folder).
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_' || c == ':' || c == '%';
}

std::string InvalidClass(std::u16string_view className) {
  return "Ungültiger Klassenname: »" + text::ToUtf8(className) + "«";
}

bool IsPlainName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

// The name between quote characters, each quote character in it doubled.
std::string QuoteIdentifier(std::string_view name, std::string_view quote,
                            std::u16string_view className) {
  if (quote.empty() || quote == " ") {
    if (!IsPlainName(name)) throw platform::ServerError(InvalidClass(className));
    return std::string(name);
  }
  std::string out(quote);
  for (std::size_t i = 0; i < name.size();) {
    if (name.substr(i).starts_with(quote)) {
      out.append(quote).append(quote);
      i += quote.size();
    } else {
      out += name[i++];
    }
  }
  return out.append(quote);
}

class RowObject final : public platform::ServerObject {
 public:
  RowObject(std::u16string_view className, Row row) : className_(className) {
    for (auto& [name, value] : row)
      columns_.emplace(std::move(name), std::move(value));
  }

  std::u16string Property(std::u16string_view name) override {
    if (closed_)
      throw platform::ServerError("Objekt ist bereits geschlossen: " + text::ToUtf8(className_));
    const auto it = columns_.find(name);
    if (it == columns_.end())
      throw platform::PropertyNotFoundError("Eigenschaft nicht gefunden: " + text::ToUtf8(name));
    return it->second;
  }

  void Call(std::u16string_view method) override {
    if (method != u"sys_Close")
      throw platform::ServerError("Unbekannte Methode: " + text::ToUtf8(method));
    // The row was fetched whole, so closing has nothing to tell the server.
    closed_ = true;
    columns_.clear();
  }

 private:
  std::u16string className_;
  std::map<std::u16string, std::u16string, std::less<>> columns_;
  bool closed_ = false;
};

}  // namespace

std::optional<ServerAddress> ParseConnectString(std::u16string_view connectString) {
  const std::string s = text::ToUtf8(connectString);
  constexpr std::string_view kPrefix = "cn_iptcp:";
  if (!s.starts_with(kPrefix)) return std::nullopt;
  const std::size_t open = s.find('[', kPrefix.size());
  const std::size_t close = s.find(']', kPrefix.size());
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  if (close + 1 >= s.size() || s[close + 1] != ':') return std::nullopt;

  ServerAddress address{s.substr(kPrefix.size(), open - kPrefix.size()),
                        s.substr(open + 1, close - open - 1), s.substr(close + 2)};
  if (address.host.empty() || address.host.size() > 253 ||
      !std::all_of(address.host.begin(), address.host.end(), IsHostChar))
    return std::nullopt;
  unsigned port = 0;
  const char* end = address.port.data() + address.port.size();
  const auto [ptr, ec] = std::from_chars(address.port.data(), end, port);
  if (address.port.empty() || address.port.size() > 5 || ec != std::errc() || ptr != end ||
      port < 1 || port > 65535)
    return std::nullopt;
  if (address.database.empty() || address.database.find('\0') != std::string::npos)
    return std::nullopt;
  return address;
}

Syntax SyntaxOf(Dialect dialect) {
  if (dialect == Dialect::kSqlite) return {.schemas = false, .quote = "\"", .parameter = "?1"};
  return {.schemas = true, .quote = "\"", .parameter = "$1"};
}

std::string TableOf(std::u16string_view className, const Syntax& syntax) {
  const std::string name = text::ToUtf8(className);
  if (name.empty() || name.find('\0') != std::string::npos)
    throw platform::ServerError(InvalidClass(className));
  const auto quoted = [&](std::string_view part) {
    return QuoteIdentifier(part, syntax.quote, className);
  };
  if (!syntax.schemas) return quoted(name);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return quoted(name);
  if (dot == 0 || dot + 1 == name.size()) throw platform::ServerError(InvalidClass(className));
  return quoted(std::string_view(name).substr(0, dot)) + "." +
         quoted(std::string_view(name).substr(dot + 1));
}

std::string TableOf(std::u16string_view className, Dialect dialect) {
  return TableOf(className, SyntaxOf(dialect));
}

std::string SelectById(std::u16string_view className, const Syntax& syntax) {
  return "SELECT * FROM " + TableOf(className, syntax) + " WHERE " +
         QuoteIdentifier("ID", syntax.quote, className) + " = " + syntax.parameter;
}

std::string SelectById(std::u16string_view className, Dialect dialect) {
  return SelectById(className, SyntaxOf(dialect));
}

std::unique_ptr<platform::ServerObject> MakeRowObject(std::u16string_view className, Row row) {
  return std::make_unique<RowObject>(className, std::move(row));
}

std::optional<std::string> IdParameter(std::u16string_view id) {
  if (id.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  return text::ToUtf8(id);
}

std::string NotFoundMessage(std::u16string_view className, std::u16string_view id) {
  return "Objekt nicht gefunden: " + text::ToUtf8(className) + " " + text::ToUtf8(id);
}

std::string QueryFailedMessage(std::u16string_view className, std::string_view engineMessage) {
  return "Abfrage von " + text::ToUtf8(className) + " fehlgeschlagen: " + TrimEnd(engineMessage);
}

std::chrono::milliseconds TimeoutFromEnvironment(const char* name,
                                                 std::chrono::milliseconds fallback) {
  const char* value = std::getenv(name);
  if (!value) return fallback;
  const std::string_view text(value);
  long seconds = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (ec != std::errc() || ptr != text.data() + text.size() || seconds <= 0 || seconds > 3600)
    return fallback;
  return std::chrono::milliseconds(seconds * 1000);
}

std::string TrimEnd(std::string_view message) {
  const std::size_t end = message.find_last_not_of(" \t\r\n");
  return std::string(end == std::string_view::npos ? "" : message.substr(0, end + 1));
}

}  // namespace quorel::sql
