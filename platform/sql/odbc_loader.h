// The ODBC driver manager, loaded when the first ODBC client is made: unixODBC's libodbc.so.2
// on POSIX systems, odbc32.dll on Windows. The driver manager loads the driver the connection
// string names; no driver is ever linked. Code of the ODBC client calls the functions by their
// usual names through the pointers below (`using namespace odbc;`). Only the wide (W)
// functions take text, so text is UTF-16 all the way (SQLWCHAR is 16 bits on both systems).
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>  // before sql.h, which needs its types
#endif
#include <sql.h>
#include <sqlext.h>

namespace quorel::sql::odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be a UTF-16 code unit");

#define QUOREL_ODBC_FUNCTIONS(X) \
  X(SQLAllocHandle)              \
  X(SQLBindParameter)            \
  X(SQLColAttributeW)            \
  X(SQLDisconnect)               \
  X(SQLDriverConnectW)           \
  X(SQLExecDirectW)              \
  X(SQLFetch)                    \
  X(SQLFreeHandle)               \
  X(SQLGetConnectAttrW)          \
  X(SQLGetData)                  \
  X(SQLGetDiagRecW)              \
  X(SQLGetInfoW)                 \
  X(SQLNumResultCols)            \
  X(SQLSetConnectAttrW)          \
  X(SQLSetEnvAttr)               \
  X(SQLSetStmtAttrW)             \
  X(SQLTablesW)

// NOLINTNEXTLINE(bugprone-macro-parentheses): the name is a declarator
#define QUOREL_ODBC_DECLARE(name) extern decltype(&::name) name;
QUOREL_ODBC_FUNCTIONS(QUOREL_ODBC_DECLARE)
#undef QUOREL_ODBC_DECLARE

// The file name of the driver manager.
extern const char* const kDriverManager;

// Loads the driver manager once; throws platform::ServerError when it or a function is
// missing.
void Load();

}  // namespace quorel::sql::odbc
