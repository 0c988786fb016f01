#include "platform/win32/system/command_line.h"

#include <windows.h>

namespace quorel::win32 {

namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

}  // namespace

std::u16string ArgumentText(std::u16string_view line) {
  // The program name ends at its closing quote, or at the first blank when it is not quoted;
  // quotes inside it carry no escapes.
  std::size_t at = 0;
  if (!line.empty() && line.front() == u'"') {
    const auto close = line.find(u'"', 1);
    at = close == std::u16string_view::npos ? line.size() : close + 1;
  }
  while (at < line.size() && !IsBlank(line[at]))
    ++at;
  if (at < line.size()) ++at;  // the separating blank

  std::u16string text;
  bool quoted = false;
  while (at < line.size()) {
    const char16_t c = line[at];
    if (c == u'\\') {
      std::size_t backslashes = 0;
      while (at < line.size() && line[at] == u'\\') {
        ++backslashes;
        ++at;
      }
      if (at < line.size() && line[at] == u'"') {
        // 2n backslashes and a quote: n backslashes, and the quote delimits; 2n+1: n
        // backslashes and a quote character.
        text.append(backslashes / 2, u'\\');
        if (backslashes % 2 == 1) {
          text.push_back(u'"');
          ++at;
        }
      } else {
        text.append(backslashes, u'\\');
      }
      continue;
    }
    if (c == u'"') {
      // Inside quotes, "" is one quote character and the quoted part goes on.
      if (quoted && at + 1 < line.size() && line[at + 1] == u'"') {
        text.push_back(u'"');
        at += 2;
        continue;
      }
      quoted = !quoted;
      ++at;
      continue;
    }
    text.push_back(c);
    ++at;
  }
  return text;
}

std::u16string ProcessArgumentText() {
  const wchar_t* line = GetCommandLineW();
  return ArgumentText(std::u16string_view(reinterpret_cast<const char16_t*>(line)));
}

}  // namespace quorel::win32
