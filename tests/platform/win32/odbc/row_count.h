// A count of rows through Windows' ODBC driver manager, beside the program's own client.
#pragma once

#include <string>

namespace quorel::sql::testing {

// The result of a SELECT COUNT(*) statement on the connection, or -1 when it fails.
long CountRows(const std::u16string& connection, const std::u16string& statement);

}  // namespace quorel::sql::testing
