// The single-byte code page (Windows-1252) both ways: every code has a character that gives the
// code back, and a character has a code exactly when some code stands for it.
//
// Input: UTF-16 code units, two bytes each (little-endian); and every byte as a code.
#include <array>
#include <cstddef>
#include <cstdint>

#include "fuzz/properties.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quorel::fuzz::Require;
  namespace text = quorel::text;
  static const auto table = [] {
    std::array<char16_t, 256> chars{};
    for (unsigned code = 0; code < 256; ++code)
      chars[code] = text::CharFromCode(static_cast<std::uint8_t>(code));
    return chars;
  }();
  for (std::size_t i = 0; i < size; ++i)
    Require(text::CodeFromChar(text::CharFromCode(data[i])) == data[i], "code -> char -> code");
  for (const char16_t c : quorel::fuzz::Units(data, size)) {
    const auto code = text::CodeFromChar(c);
    bool inTable = false;
    for (const char16_t t : table)
      inTable = inTable || t == c;
    Require(code.has_value() == inTable, "a code exactly for the characters of the table");
    if (code) Require(text::CharFromCode(*code) == c, "char -> code -> char");
  }
  return 0;
}
