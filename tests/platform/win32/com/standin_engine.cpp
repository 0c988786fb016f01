#include "standin_engine.h"

#include <windows.h>

namespace quorel::win32::testing {

void UseStandinUsers() {
  SetEnvironmentVariableW(L"QUOREL_STANDIN_USERS", L"" QUOREL_STANDIN_USERS_FILE);
}

}  // namespace quorel::win32::testing
