#include "platform/posix/standard_error.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/text.h"

namespace quorel::posix {

void StandardError::Line(std::u16string_view text) {
  const std::string line = "quorel: " + text::ToUtf8(platform::OneLine(text)) + "\n";
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace quorel::posix
