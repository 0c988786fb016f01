// Lines for whoever looks after the program rather than for its user: desktop sessions keep a
// program's standard error in their journal. The program writes there every message that ends
// it and what it does not show the user, such as why each connection attempt failed.
#pragma once

#include <string>
#include <string_view>

namespace quorel::platform {

class Diagnostics {
 public:
  virtual ~Diagnostics() = default;
  // Writes text as one line (see OneLine).
  virtual void Line(std::u16string_view text) = 0;
};

// The text with every line break in it (CR LF, CR or LF) replaced by a blank.
std::u16string OneLine(std::u16string_view text);

}  // namespace quorel::platform
