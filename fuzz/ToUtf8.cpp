// ToUtf8 on any UTF-16 code units: never a crash, well-formed UTF-8 out, and FromUtf8 gives the
// text back with every lone surrogate replaced by U+FFFD.
//
// Input: two bytes per code unit (little-endian).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/properties.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quorel::fuzz::Require;
  namespace text = quorel::text;
  const std::u16string units = quorel::fuzz::Units(data, size);
  const std::string utf8 = text::ToUtf8(units);
  Require(quorel::fuzz::WellFormedUtf8(utf8), "well-formed UTF-8");
  Require(utf8.size() <= 3 * units.size(), "at most three bytes per code unit");
  std::u16string expected = units;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const char16_t c = expected[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool pairs =
        high && i + 1 < expected.size() && expected[i + 1] >= 0xDC00 && expected[i + 1] <= 0xDFFF;
    if (pairs)
      ++i;
    else if (c >= 0xD800 && c <= 0xDFFF)
      expected[i] = u'\uFFFD';
  }
  Require(text::FromUtf8(utf8) == expected, "round trip, lone surrogates as U+FFFD");
  return 0;
}
