#include "platform/sql/odbc_loader.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include <mutex>
#include <string>

#include "platform/server_client.h"

namespace quorel::sql::odbc {

// NOLINTBEGIN(bugprone-macro-parentheses): the names are declarators and expressions at once
#define QUOREL_ODBC_DEFINE(name) decltype(&::name) name = nullptr;
QUOREL_ODBC_FUNCTIONS(QUOREL_ODBC_DEFINE)
#undef QUOREL_ODBC_DEFINE
// NOLINTEND(bugprone-macro-parentheses)

namespace {

#ifdef _WIN32
using Symbol = void (*)();  // casts to and from it are exempt from -Wcast-function-type
#else
using Symbol = void*;
#endif

// Opens the library and gives a function to look its symbols up, or a reason why not.
std::string Open(Symbol (*&lookup)(const char*)) {
#ifdef _WIN32
  static HMODULE library = nullptr;
  library = LoadLibraryW(L"odbc32.dll");
  if (!library) return "kann nicht geladen werden (Fehler " + std::to_string(GetLastError()) + ")";
  lookup = [](const char* name) { return reinterpret_cast<Symbol>(GetProcAddress(library, name)); };
#else
  static void* library = nullptr;
  library = dlopen(kDriverManager, RTLD_NOW | RTLD_LOCAL);
  if (!library) return std::string("kann nicht geladen werden: ") + dlerror();
  lookup = [](const char* name) { return dlsym(library, name); };
#endif
  return {};
}

std::string LoadOnce() {
  Symbol (*lookup)(const char*) = nullptr;
  if (std::string failure = Open(lookup); !failure.empty()) return failure;
// NOLINTBEGIN(bugprone-macro-parentheses)
#define QUOREL_ODBC_RESOLVE(name)                            \
  name = reinterpret_cast<decltype(&::name)>(lookup(#name)); \
  if (!name) return std::string("enthält die Funktion " #name " nicht");
  QUOREL_ODBC_FUNCTIONS(QUOREL_ODBC_RESOLVE)
#undef QUOREL_ODBC_RESOLVE
  // NOLINTEND(bugprone-macro-parentheses)
  return {};
}

}  // namespace

#ifdef _WIN32
const char* const kDriverManager = "odbc32.dll";
#else
const char* const kDriverManager = "libodbc.so.2";
#endif

void Load() {
  static std::once_flag once;
  static std::string failure;
  std::call_once(once, [] { failure = LoadOnce(); });
  if (!failure.empty())
    throw platform::ServerError(std::string("Der ODBC-Treibermanager ") + kDriverManager + " " +
                                failure);
}

}  // namespace quorel::sql::odbc
