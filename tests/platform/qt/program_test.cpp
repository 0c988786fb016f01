// The whole program on the real Qt windows, driven with keyboard and mouse.
#include <gtest/gtest.h>

#include "qt_driver.h"
#include "tests/platform/desktop/program_suites.h"

namespace quorel::testing {
namespace {

INSTANTIATE_TYPED_TEST_SUITE_P(QtProgram, Journey, QtDriver);

}  // namespace
}  // namespace quorel::testing
