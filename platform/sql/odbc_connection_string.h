// The connection string an ODBC client hands its driver: the one configured (a data source or
// a driver with its options), with the server, port and namespace of the program's connection
// string "cn_iptcp:SERVER[PORT]:NAMESPACE" put where the configured text says. Drivers name
// these options differently, so the configured text marks the places: every "<SERVER>",
// "<PORT>" and "<NAMESPACE>" in it is replaced, e.g.
//   Driver=PostgreSQL Unicode;Servername=<SERVER>;Port=<PORT>;Database=<NAMESPACE>
//   Driver=SQLite3;Database=/srv/mirlox/<NAMESPACE>.sqlite3
// A configured text without these marks is used as it stands, and the program's connection
// string is not read.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace quorel::sql {

inline constexpr std::u16string_view kServerMark = u"<SERVER>";
inline constexpr std::u16string_view kPortMark = u"<PORT>";
inline constexpr std::u16string_view kNamespaceMark = u"<NAMESPACE>";

// The driver's connection string, or why there is none (UTF-8): the program's connection
// string does not parse, or a value would change the meaning of the connection string (';',
// '{', '}', blanks at either end).
std::variant<std::u16string, std::string> DriverConnectionString(std::u16string_view configured,
                                                                 std::u16string_view connectString);

}  // namespace quorel::sql
