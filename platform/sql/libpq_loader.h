// The PostgreSQL client library, loaded when the first PostgreSQL client is made: a program
// that uses the embedded database never loads libpq and the twenty libraries it pulls in.
// Code of the PostgreSQL client calls the functions by their usual names through the
// pointers below (`using namespace pq;`).
#pragma once

#include <libpq-fe.h>

namespace quorel::sql::pq {

#define QUOREL_LIBPQ_FUNCTIONS(X) \
  X(PQbackendPID)                 \
  X(PQclear)                      \
  X(PQconnectPoll)                \
  X(PQconnectStartParams)         \
  X(PQconsumeInput)               \
  X(PQerrorMessage)               \
  X(PQfinish)                     \
  X(PQflush)                      \
  X(PQfname)                      \
  X(PQgetisnull)                  \
  X(PQgetlength)                  \
  X(PQgetResult)                  \
  X(PQgetvalue)                   \
  X(PQisBusy)                     \
  X(PQnfields)                    \
  X(PQntuples)                    \
  X(PQresultErrorField)           \
  X(PQresultErrorMessage)         \
  X(PQresultStatus)               \
  X(PQsendQueryParams)            \
  X(PQsetnonblocking)             \
  X(PQsetNoticeProcessor)         \
  X(PQsocket)                     \
  X(PQstatus)

#define QUOREL_LIBPQ_DECLARE(name) extern decltype(&::name) name;
QUOREL_LIBPQ_FUNCTIONS(QUOREL_LIBPQ_DECLARE)
#undef QUOREL_LIBPQ_DECLARE

// Loads the library once; throws platform::ServerError when it or a function is missing.
void Load();

}  // namespace quorel::sql::pq
