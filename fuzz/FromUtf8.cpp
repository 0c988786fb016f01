// FromUtf8 on any bytes: never a crash, well-formed UTF-16 out, well-formed UTF-8 back to the
// same bytes, and anything else marked with U+FFFD (never dropped silently).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/properties.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quorel::fuzz::Require;
  namespace text = quorel::text;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string units = text::FromUtf8(bytes);
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      Require(i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF,
              "a high surrogate is followed by a low one");
      ++i;
    } else {
      Require(c < 0xDC00 || c > 0xDFFF, "no lone low surrogate");
    }
  }
  Require(units.size() <= bytes.size(), "never more code units than bytes");
  const std::string back = text::ToUtf8(units);
  if (quorel::fuzz::WellFormedUtf8(bytes)) {
    Require(back == bytes, "well-formed UTF-8 round-trips");
  } else {
    Require(units.find(u'\uFFFD') != std::u16string::npos, "malformed input shows U+FFFD");
    Require(text::FromUtf8(back) == units, "what came out round-trips");
  }
  return 0;
}
