#include <gtest/gtest.h>

#include "platform/sql/libpq_loader.h"

namespace quorel::sql {
namespace {

TEST(LibpqLoader, LoadsTheLibraryOnceWithEveryFunction) {
  ASSERT_NO_THROW(pq::Load());
  ASSERT_NO_THROW(pq::Load());
#define QUOREL_EXPECT_LOADED(name) EXPECT_NE(pq::name, nullptr) << #name;
  QUOREL_LIBPQ_FUNCTIONS(QUOREL_EXPECT_LOADED)
#undef QUOREL_EXPECT_LOADED
  // A working function, not just an address: no connection is a bad connection.
  EXPECT_EQ(pq::PQstatus(nullptr), CONNECTION_BAD);
}

}  // namespace
}  // namespace quorel::sql
