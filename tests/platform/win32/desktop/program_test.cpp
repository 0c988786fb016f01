// The whole program on the real Win32 windows, driven with keyboard and mouse.
#include <gtest/gtest.h>

#include "tests/platform/desktop/program_suites.h"
// The Windows headers only after the program's, which define some of their names themselves.
#include "win32_driver.h"

namespace quorel::testing {
namespace {

INSTANTIATE_TYPED_TEST_SUITE_P(Win32Program, Journey, Win32Driver);

}  // namespace
}  // namespace quorel::testing
