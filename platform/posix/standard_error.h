// Diagnostics on standard error, each line "quorel: TEXT" in UTF-8.
#pragma once

#include "platform/diagnostics.h"

namespace quorel::posix {

class StandardError final : public platform::Diagnostics {
 public:
  // One write per line, so that lines of other threads and processes never cut into it. A
  // standard error that is closed or full loses the line.
  void Line(std::u16string_view text) override;
};

}  // namespace quorel::posix
