#include "platform/sql/libpq_loader.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

#include "platform/server_client.h"

namespace quorel::sql::pq {

#define QUOREL_LIBPQ_DEFINE(name) decltype(&::name) name = nullptr;
QUOREL_LIBPQ_FUNCTIONS(QUOREL_LIBPQ_DEFINE)
#undef QUOREL_LIBPQ_DEFINE

namespace {

constexpr const char* kLibrary = "libpq.so.5";

std::string LoadOnce() {
  void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  if (!library) return std::string("kann nicht geladen werden: ") + dlerror();
#define QUOREL_LIBPQ_RESOLVE(name)                                   \
  name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name)); \
  if (!name) return std::string("enthält die Funktion " #name " nicht");
  QUOREL_LIBPQ_FUNCTIONS(QUOREL_LIBPQ_RESOLVE)
#undef QUOREL_LIBPQ_RESOLVE
  return {};
}

}  // namespace

void Load() {
  static std::once_flag once;
  static std::string failure;
  std::call_once(once, [] { failure = LoadOnce(); });
  if (!failure.empty())
    throw platform::ServerError(std::string("Die PostgreSQL-Clientbibliothek ") + kLibrary + " " +
                                failure);
}

}  // namespace quorel::sql::pq
