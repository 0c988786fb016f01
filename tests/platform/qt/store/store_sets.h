// The login sets of the store tests, shared with the other stores' tests.
#pragma once

#include "tests/support/store_texts.h"

namespace quorel::qt::testing {

using namespace quorel::testing;  // NOLINT(google-build-using-namespace)

}  // namespace quorel::qt::testing
