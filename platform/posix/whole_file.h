// A whole file read at once, with the system's reason when that fails.
#pragma once

#include <optional>
#include <string>

namespace quorel::posix {

// The bytes of the file, or nothing with errno set: ENOENT when there is none, the reason when
// it cannot be opened or read (EACCES, EISDIR, EIO, ...).
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace quorel::posix
