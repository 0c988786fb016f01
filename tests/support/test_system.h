// The operating system the tests run the program with: the platform's own, with the command
// line given by the test. The machine registry is a file the test names on POSIX; on Windows
// it is the real registry of the test prefix, and the file name is not used.
#pragma once

#include <string>

#ifdef _WIN32
#include "platform/win32/system/win32_system.h"
#else
#include "platform/posix/posix_system.h"
#endif

namespace quorel::testing {

#ifdef _WIN32
class TestSystem : public win32::Win32System {
 public:
  TestSystem(std::u16string commandLine, const std::string& /*registryFile*/)
      : Win32System(std::move(commandLine)) {}
};
#else
using TestSystem = posix::PosixSystem;
#endif

}  // namespace quorel::testing
