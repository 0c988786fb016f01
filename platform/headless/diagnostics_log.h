// Diagnostics into the event log, as "stderr: TEXT", so that tests see each line where it
// falls among the program's other doings.
#pragma once

#include "platform/diagnostics.h"
#include "platform/headless/event_log.h"
#include "platform/text.h"

namespace quorel::platform::headless {

class DiagnosticsLog final : public platform::Diagnostics {
 public:
  explicit DiagnosticsLog(EventLog& log) : log_(log) {}
  void Line(std::u16string_view text) override {
    log_.Add("stderr: " + text::ToUtf8(platform::OneLine(text)));
  }

 private:
  EventLog& log_;
};

}  // namespace quorel::platform::headless
