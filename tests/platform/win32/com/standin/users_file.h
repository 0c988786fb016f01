// The records the stand-in serves, from a UTF-8 text file named by the environment variable
// QUOREL_STANDIN_USERS (a Windows path). One record a line, fields separated by tabs:
//
//   CLASS <tab> ID <tab> PROPERTY=TEXT <tab> PROPERTY:TYPE=VALUE <tab> PROPERTY:NULL ...
//
// TYPE is I4 (a whole number), R8 (a number with a decimal point), BOOL (0 or 1), DATE
// (YYYY-MM-DD hh:mm:ss), NULL or EMPTY (without "=VALUE"), or ERROR, whose value is the text
// of the error that reading the property raises. Empty lines and lines starting with '#' are
// skipped.
#pragma once

#include <oaidl.h>

#include <string>
#include <vector>

namespace standin {

struct Cell {
  std::wstring name;
  VARTYPE type = VT_BSTR;  // VT_ERROR: reading raises the error text
  std::wstring value;
};

struct UserRecord {
  std::wstring className;
  std::wstring id;
  std::vector<Cell> cells;
};

// Throws Raised naming the file and the line for a file that cannot be read or a bad line.
std::vector<UserRecord> ReadUsersFile();

// The value of a cell; raises its error text for an ERROR cell.
void CellValue(const Cell& cell, VARIANT* result);

}  // namespace standin
