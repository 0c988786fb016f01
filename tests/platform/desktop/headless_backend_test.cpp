// The in-memory desktop against what every backend does. Its user is the scripted one, whose
// steps run when the program waits; its time is the virtual clock, which waiting moves on.
#include "platform/headless/headless_backend.h"
#include "tests/platform/desktop/backend_suites.h"

namespace quorel::testing {
namespace {

using namespace backend;

class HeadlessDriver {
 public:
  std::int64_t NowMs() const { return clock_.NowMs(); }
  void Settle() { backend.ProcessEvents(0ms); }
  bool IsActive(std::u16string_view form) const { return backend.ActiveForm() == form; }
  bool IsVisible(std::u16string_view form) const { return backend.IsVisible(form); }
  bool HasKeyboardFocus(std::u16string_view form, std::u16string_view control) const {
    return IsActive(form) && backend.FocusOf(form) == control;
  }
  void CloseBox(std::u16string_view form) {
    backend.CloseBox(form);
    backend.WaitForEvents(false);  // the step runs when the program waits for the user
  }

 private:
  platform::headless::VirtualClock clock_;
  platform::headless::EventLog log_;

 public:
  platform::headless::HeadlessBackend backend{clock_, log_};
};

INSTANTIATE_TYPED_TEST_SUITE_P(HeadlessBackend, Core, HeadlessDriver);
// Not Windows, Input, Dialogs, Accessible: it has no screen, keyboard or mouse; its
// user acts on controls by name and answers message boxes with the answer itself.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Windows);

}  // namespace
}  // namespace quorel::testing
