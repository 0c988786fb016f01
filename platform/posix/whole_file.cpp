#include "platform/posix/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quorel::posix {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char buffer[8192];
  ssize_t n = 0;
  while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) bytes.append(buffer, static_cast<std::size_t>(n));
  const int error = errno;
  close(fd);
  errno = error;
  if (n < 0) return std::nullopt;
  return bytes;
}

}  // namespace quorel::posix
