// ScramblePassword on any text: never a crash, the overflow error from 255 characters on, the
// length kept, characters of the code page to characters of the code page (none to a C0 control),
// others unchanged, and scrambling twice gives the text back.
//
// Input: the first byte chooses how the rest becomes text: even, one character of the code page
// per byte; odd, one UTF-16 code unit per two bytes.
#include <cstddef>
#include <cstdint>

#include "fuzz/properties.h"
#include "platform/text.h"
#include "session/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quorel::fuzz::Require;
  namespace text = quorel::text;
  if (size < 1) return 0;
  std::u16string plain;
  if (data[0] % 2 == 0) {
    for (std::size_t i = 1; i < size; ++i)
      plain.push_back(text::CharFromCode(data[i]));
  } else {
    plain = quorel::fuzz::Units(data + 1, size - 1);
  }
  std::u16string scrambled;
  try {
    scrambled = quorel::cacheapi::ScramblePassword(plain);
  } catch (const quorel::cacheapi::OverflowError&) {
    Require(plain.size() >= 255, "the overflow error only from 255 characters on");
    return 0;
  }
  Require(plain.size() < 255, "the overflow error from 255 characters on");
  Require(scrambled.size() == plain.size(), "the length is kept");
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const auto code = text::CodeFromChar(plain[i]);
    if (!code) {
      Require(scrambled[i] == plain[i], "a character outside the code page passes unchanged");
      continue;
    }
    Require(scrambled[i] != plain[i], "a character of the code page changes");
    Require(text::CodeFromChar(scrambled[i]).has_value(), "and stays in the code page");
    Require(*code < 0x20 || scrambled[i] >= 0x20, "no character a user types becomes C0");
  }
  Require(quorel::cacheapi::ScramblePassword(scrambled) == plain, "twice gives the text back");
  return 0;
}
