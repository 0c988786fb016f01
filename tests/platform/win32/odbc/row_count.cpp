#include "row_count.h"

#include <windows.h>
// windows.h first: the ODBC headers build on its types.
#include <sql.h>
#include <sqlext.h>

namespace quorel::sql::testing {

namespace {

SQLWCHAR* Wide(const std::u16string& text) {
  return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.c_str()));
}

}  // namespace

long CountRows(const std::u16string& connection, const std::u16string& statement) {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  long rows = -1;
  SQLINTEGER count = 0;
  if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)) &&
      SQL_SUCCEEDED(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION,
                                  reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)) &&
      SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc)) &&
      SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, Wide(connection), SQL_NTS, nullptr, 0, nullptr,
                                      SQL_DRIVER_NOPROMPT)) &&
      SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt)) &&
      SQL_SUCCEEDED(SQLExecDirectW(stmt, Wide(statement), SQL_NTS)) &&
      SQL_SUCCEEDED(SQLFetch(stmt)) &&
      SQL_SUCCEEDED(SQLGetData(stmt, 1, SQL_C_SLONG, &count, 0, nullptr)))
    rows = count;
  if (stmt) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  if (dbc) {
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  }
  if (env) SQLFreeHandle(SQL_HANDLE_ENV, env);
  return rows;
}

}  // namespace quorel::sql::testing
