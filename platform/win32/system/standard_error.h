// Diagnostics where a Windows GUI program's standard error goes: the handle it was started with
// (a redirected file or pipe, or the console of the program that started it), each line
// "quorel: TEXT". A program started from Explorer or the Start menu has none, and writes
// nothing.
#pragma once

#include "platform/diagnostics.h"

namespace quorel::win32 {

class StandardError final : public platform::Diagnostics {
 public:
  // A console gets the wide text, a file or pipe UTF-8. Never throws; a line that cannot be
  // written is lost.
  void Line(std::u16string_view text) override;
};

}  // namespace quorel::win32
