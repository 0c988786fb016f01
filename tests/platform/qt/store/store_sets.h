// The login sets of the store tests, shared with the other stores' tests, and the bytes of the
// files they write.
#pragma once

#include <filesystem>
#include <string>

#include "platform/posix/whole_file.h"
#include "tests/support/store_texts.h"

namespace quorel::qt::testing {

using namespace quorel::testing;  // NOLINT(google-build-using-namespace)

// The bytes of a file; empty when it is not there.
inline std::string ReadBytes(const std::filesystem::path& path) {
  return posix::ReadWholeFile(path).value_or("");
}

}  // namespace quorel::qt::testing
