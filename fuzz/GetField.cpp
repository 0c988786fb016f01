// GetField on any text, delimiter and field number: never a crash, the overflow error exactly at
// the limits of its 8-bit counters, and otherwise the field a plain split gives.
//
// Input: field number (2 bytes, little-endian, signed), delimiter byte (0xF0: no delimiter,
// 0xF1..0xFF: two characters, else one character), then the text; bytes are characters of the
// single-byte code page.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "fuzz/properties.h"
#include "platform/text.h"
#include "session/settings.h"

namespace {

using quorel::fuzz::Require;

// What GetField must do, from a split of the text at every delimiter.
std::optional<std::u16string> Expected(const std::u16string& text, const std::u16string& delimiter,
                                       int field, const std::u16string& defaultValue) {
  if (text.size() > 255) return std::nullopt;
  std::vector<std::u16string> fields(1);
  for (const char16_t c : text) {
    if (delimiter.size() == 1 && c == delimiter[0])
      fields.emplace_back();
    else
      fields.back().push_back(c);
  }
  const int delimiters = static_cast<int>(fields.size()) - 1;
  // The scan stops at the delimiter that closes the field, else it reads the whole text.
  const bool closed = field >= 1 && field <= delimiters;
  const int counted = closed ? field : delimiters;
  if (counted >= 255) return std::nullopt;                 // the field counter would pass 255
  if (!closed && text.size() == 255) return std::nullopt;  // the position would
  const std::u16string& found = field >= 1 && field <= delimiters + 1 ? fields[field - 1] : u"";
  return found.empty() ? defaultValue : found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const auto field = static_cast<std::int16_t>(data[0] | data[1] << 8);
  std::u16string delimiter;
  if (data[2] != 0xF0) delimiter.push_back(quorel::text::CharFromCode(data[2]));
  if (data[2] > 0xF0) delimiter.push_back(quorel::text::CharFromCode(data[2] & 0x7F));
  std::u16string text;
  for (std::size_t i = 3; i < size; ++i)
    text.push_back(quorel::text::CharFromCode(data[i]));
  const std::u16string defaultValue = u"DEF";

  const auto expected = Expected(text, delimiter, field, defaultValue);
  std::optional<std::u16string> got;
  try {
    got = quorel::cacheapi::GetField(text, delimiter, field, defaultValue);
  } catch (const quorel::cacheapi::OverflowError&) {
  }
  Require(got.has_value() == expected.has_value(), "the overflow error exactly at the limits");
  Require(got == expected, "the field of a plain split, or the default");
  return 0;
}
