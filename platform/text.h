// Text helpers shared by every layer: the program keeps texts as 16-bit characters and
// converts only where it meets the outside (UTF-8 files and servers, single-byte code page).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorel::text {

// UTF-8 <-> UTF-16. Malformed input becomes U+FFFD; nothing is dropped silently.
std::u16string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);

// The single-byte code page (Windows-1252). Every one of the 256 codes has a character; the
// five codes the code page leaves unassigned map to the C1 controls of the same value, so that
// code -> character -> code round-trips for all 256 codes.
char16_t CharFromCode(std::uint8_t code);
// The code of a character, or nothing when the code page has no such character.
std::optional<std::uint8_t> CodeFromChar(char16_t ch);
// Whole texts in the code page; a character the code page lacks becomes '?', as the system's
// conversion to the code page does.
std::string ToCodePage(std::u16string_view text);
std::u16string FromCodePage(std::string_view bytes);

// Blanks are spaces and tabs; Trim takes them off both ends.
bool IsBlank(char16_t c);
std::u16string_view Trim(std::u16string_view text);

// Letters to upper case (Latin, Greek, Cyrillic), every other character unchanged.
std::u16string UpperCase(std::u16string_view text);

}  // namespace quorel::text
