#include "platform/diagnostics.h"

namespace quorel::platform {

std::u16string OneLine(std::u16string_view text) {
  std::u16string line;
  line.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    line.push_back(text[i] == u'\r' || text[i] == u'\n' ? u' ' : text[i]);
  }
  return line;
}

}  // namespace quorel::platform
