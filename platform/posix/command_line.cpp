#include "platform/posix/command_line.h"

#include "platform/text.h"

namespace quorel::posix {

std::u16string JoinArguments(int argc, char** argv) {
  std::u16string joined;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) joined.push_back(u' ');
    if (argv[i] != nullptr) joined += text::FromUtf8(argv[i]);
  }
  return joined;
}

}  // namespace quorel::posix
