#include "platform/sql/odbc_connection_string.h"

#include <array>
#include <utility>

#include "platform/sql/object_mapping.h"
#include "platform/text.h"

namespace quorel::sql {

namespace {

// A value ends at ';', and braces quote values, so none of these may come from a setting;
// drivers may also drop blanks around a value.
bool FitsIntoConnectionString(std::u16string_view value) {
  return value.find_first_of(u";{}") == std::u16string_view::npos && !value.starts_with(u' ') &&
         !value.ends_with(u' ');
}

}  // namespace

std::variant<std::u16string, std::string> DriverConnectionString(
    std::u16string_view configured, std::u16string_view connectString) {
  const std::array<std::u16string_view, 3> marks{kServerMark, kPortMark, kNamespaceMark};
  bool marked = false;
  for (const auto mark : marks)
    marked = marked || configured.find(mark) != std::u16string_view::npos;
  if (!marked) return std::u16string(configured);

  const auto address = ParseConnectString(connectString);
  if (!address) return "Verbindungstext nicht lesbar: " + text::ToUtf8(connectString);
  const std::array<std::pair<std::u16string_view, std::u16string>, 3> values{{
      {kServerMark, text::FromUtf8(address->host)},
      {kPortMark, text::FromUtf8(address->port)},
      {kNamespaceMark, text::FromUtf8(address->database)},
  }};
  std::u16string out;
  for (std::size_t i = 0; i < configured.size();) {
    bool replaced = false;
    for (const auto& [mark, value] : values) {
      if (!configured.substr(i).starts_with(mark)) continue;
      if (!FitsIntoConnectionString(value))
        return "»" + text::ToUtf8(value) + "« kann nicht an den ODBC-Treiber übergeben werden " +
               "(kein ';', '{' oder '}' und keine Leerzeichen am Anfang oder Ende)";
      out += value;
      i += mark.size();
      replaced = true;
      break;
    }
    if (!replaced) out += configured[i++];
  }
  return out;
}

}  // namespace quorel::sql
