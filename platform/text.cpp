#include "platform/text.h"

#include <array>

namespace quorel::text {

std::u16string FromUtf8(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  constexpr char16_t kReplacement = u'\uFFFD';
  std::size_t i = 0;
  while (i < in.size()) {
    const auto b0 = static_cast<unsigned char>(in[i]);
    std::size_t need = 0;
    char32_t cp = 0;
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    }
    if ((b0 & 0xE0) == 0xC0) {
      need = 1;
      cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
      need = 2;
      cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
      need = 3;
      cp = b0 & 0x07;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    std::size_t j = 1;
    for (; j <= need && i + j < in.size(); ++j) {
      const auto b = static_cast<unsigned char>(in[i + j]);
      if ((b & 0xC0) != 0x80) break;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (j <= need) {  // truncated or interrupted sequence
      out.push_back(kReplacement);
      i += j;
      continue;
    }
    i += need + 1;
    static constexpr std::array<char32_t, 4> kMinimum{0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[need] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(kReplacement);
    } else if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string ToUtf8(std::u16string_view in) {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // lone surrogate
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

namespace {

// Codes 0x80..0x9F of Windows-1252; the unassigned ones keep their own value.
constexpr std::array<char16_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

char16_t CharFromCode(std::uint8_t code) {
  if (code >= 0x80 && code <= 0x9F) return kHighControls[code - 0x80];
  return code;
}

std::optional<std::uint8_t> CodeFromChar(char16_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<std::uint8_t>(ch);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == ch) return static_cast<std::uint8_t>(0x80 + i);
  }
  return std::nullopt;
}

std::string ToCodePage(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text)
    out.push_back(static_cast<char>(CodeFromChar(c).value_or('?')));
  return out;
}

std::u16string FromCodePage(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char b : bytes)
    out.push_back(CharFromCode(static_cast<std::uint8_t>(b)));
  return out;
}

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

namespace {

char16_t UpperChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 0x20;
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;  // à..þ without ÷
  if (c == 0xFF) return 0x178;                                 // ÿ
  if (c == 0xB5) return 0x39C;                                 // micro sign
  // Latin Extended-A: upper/lower pairs, upper on the even code except 0x139..0x148, 0x179..0x17E.
  if (c == 0x131) return u'I';  // dotless i
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
    return c & ~1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 0) ? c - 1 : c;
  if (c == 0x17F) return u'S';
  // Greek.
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 0x20;
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
  // Cyrillic.
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

}  // namespace

std::u16string UpperCase(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out)
    c = UpperChar(c);
  return out;
}

}  // namespace quorel::text
