#include "platform/qt/ini_file.h"

#include <algorithm>
#include <stdexcept>

#include "platform/text.h"

namespace quorel::qt {

namespace {

using text::IsBlank;
using text::Trim;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::string Hex(unsigned value, std::size_t width, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  do {
    out.insert(out.begin(), digits[value % 16]);
    value /= 16;
  } while (value != 0);
  if (out.size() < width) out.insert(0, width - out.size(), '0');
  return out;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF) {
      n = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 2;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 3;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) return false;
    }
    i += n + 1;
  }
  return true;
}

bool HasControlByte(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 && u != '\t';
  });
}

// A section name or key: %XX and %UXXXX are code units, '\' is '/'.
std::u16string DecodeName(std::u16string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'\\') {
      out.push_back(u'/');
      continue;
    }
    if (s[i] == u'%') {
      const bool wide = i + 1 < s.size() && s[i + 1] == u'U';
      const std::size_t first = i + (wide ? 2 : 1), digits = wide ? 4 : 2;
      if (first + digits <= s.size()) {
        unsigned value = 0;
        bool ok = true;
        for (std::size_t k = first; k < first + digits && ok; ++k) {
          const int d = HexDigit(s[k]);
          ok = d >= 0;
          value = value << 4 | static_cast<unsigned>(d);
        }
        if (ok) {
          out.push_back(static_cast<char16_t>(value));
          i = first + digits - 1;
          continue;
        }
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

std::string EncodeName(std::u16string_view s) {
  std::string out;
  for (const char16_t c : s) {
    const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                       (c >= u'0' && c <= u'9') || c == u'_' || c == u'-' || c == u'.';
    if (plain)
      out.push_back(static_cast<char>(c));
    else if (c <= 0xFF)
      out += "%" + Hex(c, 2, true);
    else
      out += "%U" + Hex(c, 4, true);
  }
  return out;
}

std::u16string SectionName(std::u16string_view written) {
  const std::u16string upper = text::UpperCase(written);
  if (upper == u"GENERAL") return {};
  if (upper == u"%GENERAL") return std::u16string(written.substr(1));
  return DecodeName(written);
}

std::string EncodeSection(std::u16string_view name) {
  if (text::UpperCase(name) == u"GENERAL") return "[%" + EncodeName(name) + "]";
  return "[" + EncodeName(name) + "]";
}

// The text of a value, or nothing when it has an open quote or ends in a backslash.
std::optional<std::u16string> DecodeValue(std::u16string_view v) {
  std::u16string out;
  std::size_t kept = 0;  // out up to here survives the trimming of trailing blanks
  bool quoted = false, list = false;
  std::size_t i = 0;
  const auto skipBlanks = [&] {
    while (i < v.size() && IsBlank(v[i]))
      ++i;
  };
  skipBlanks();
  while (i < v.size()) {
    const char16_t c = v[i++];
    if (c == u'\\') {
      if (i == v.size()) return std::nullopt;
      const char16_t e = v[i++];
      static constexpr std::u16string_view kNamed = u"a\ab\bf\fn\nr\rt\tv\v";
      const std::size_t named = kNamed.find(e);
      if (named != std::u16string_view::npos && named % 2 == 0) {
        out.push_back(kNamed[named + 1]);
      } else if (e == u'x') {
        unsigned value = 0;
        bool any = false;
        for (; i < v.size() && HexDigit(v[i]) >= 0; ++i, any = true)
          value = (value << 4 | static_cast<unsigned>(HexDigit(v[i]))) & 0xFFFF;
        if (any) out.push_back(static_cast<char16_t>(value));
      } else if (e >= u'0' && e <= u'7') {
        unsigned value = e - u'0';
        for (; i < v.size() && v[i] >= u'0' && v[i] <= u'7'; ++i)
          value = (value << 3 | (v[i] - u'0')) & 0xFFFF;
        out.push_back(static_cast<char16_t>(value));
      } else {
        out.push_back(e);  // \" \' \? \\ and any other: the character itself
      }
      kept = out.size();
    } else if (c == u'"') {
      quoted = !quoted;
      kept = out.size();
    } else if (quoted) {
      out.push_back(c);
      kept = out.size();
    } else if (c == u';') {
      break;
    } else if (c == u',') {
      list = true;
      out.resize(kept);
      out += u", ";
      kept = out.size();
      skipBlanks();
    } else {
      out.push_back(c);
      if (!IsBlank(c)) kept = out.size();
    }
  }
  if (quoted) return std::nullopt;
  out.resize(kept);
  if (list) return out;
  if (out.starts_with(u"@@")) {
    out.erase(0, 1);
  } else if (out.starts_with(u"@String(") && out.ends_with(u')')) {
    // How QSettings writes a text that holds NUL.
    out = out.substr(8, out.size() - 9);
  }
  return out;
}

void AppendUtf8(std::string& out, std::u16string_view units) {
  out += text::ToUtf8(units);
}

std::string EncodeValue(std::u16string_view value) {
  std::u16string v(value);
  if (v.starts_with(u'@')) v.insert(0, 1, u'@');
  std::string out;
  bool quote = false;
  bool afterHex = false;  // a hexadecimal digit here would extend the escape before it
  const auto hexEscape = [&](char16_t c) {
    out += "\\x" + Hex(c, 1, false);
    afterHex = true;
  };
  for (std::size_t i = 0; i < v.size(); ++i) {
    const char16_t c = v[i];
    if (afterHex && HexDigit(c) >= 0) {
      hexEscape(c);
      continue;
    }
    afterHex = false;
    static constexpr std::u16string_view kNamed = u"\aa\bb\ff\nn\rr\tt\vv";
    const std::size_t named = c < 0x20 ? kNamed.find(c) : std::u16string_view::npos;
    if (c == u'\\' || c == u'"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (named != std::u16string_view::npos && named % 2 == 0) {
      out += '\\';
      out += static_cast<char>(kNamed[named + 1]);
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < v.size() && v[i + 1] >= 0xDC00 &&
               v[i + 1] <= 0xDFFF) {
      AppendUtf8(out, v.substr(i, 2));
      ++i;
    } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFEFF) {
      // Controls; half a pair, which has no UTF-8 form; a byte order mark, which QSettings would
      // drop.
      hexEscape(c);
    } else {
      if (c == u';' || c == u',' || c == u'=') quote = true;
      AppendUtf8(out, std::u16string_view(&v[i], 1));
    }
  }
  if (!out.empty() && (out.front() == ' ' || out.back() == ' ')) quote = true;
  return quote ? "\"" + out + "\"" : out;
}

std::string KeyLine(std::u16string_view key, std::u16string_view value) {
  return EncodeName(key) + "=" + EncodeValue(value);
}

}  // namespace

std::size_t IniFile::SectionIndex(std::u16string_view name) {
  const auto it = std::find(sections_.begin(), sections_.end(), name);
  if (it != sections_.end()) return static_cast<std::size_t>(it - sections_.begin());
  sections_.emplace_back(name);
  return sections_.size() - 1;
}

IniFile IniFile::Parse(std::string_view bytes) {
  IniFile file;
  if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
  std::size_t section = 0;
  std::size_t number = 0;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find_first_of("\r\n");
    Line line{std::string(bytes.substr(0, end))};
    if (end == std::string_view::npos)
      bytes = {};
    else
      bytes.remove_prefix(end + (bytes.substr(end).starts_with("\r\n") ? 2 : 1));
    ++number;

    const bool readable = IsUtf8(line.text) && !HasControlByte(line.text);
    const std::u16string decoded = readable ? text::FromUtf8(line.text) : std::u16string();
    const std::u16string_view trimmed = Trim(decoded);
    const bool header = readable ? trimmed.starts_with(u'[')
                                 : line.text.find_first_not_of(" \t") != std::string::npos &&
                                       line.text[line.text.find_first_not_of(" \t")] == '[';
    bool damaged = !readable;
    if (header) {
      section = kUnknownSection;
      if (readable) {
        const std::size_t close = trimmed.find(u']');
        if (close == std::u16string_view::npos) line.text = text::ToUtf8(trimmed) + "]";
        line.kind = Kind::kHeader;
        section = file.SectionIndex(SectionName(Trim(trimmed.substr(1, close - 1))));
      }
    } else if (readable && !trimmed.empty() && trimmed.front() != u';' && trimmed.front() != u'#') {
      // The value keeps its end: a blank there may be escaped.
      const std::u16string_view rest = std::u16string_view(decoded).substr(
          static_cast<std::size_t>(trimmed.data() - decoded.data()));
      const std::size_t equals = rest.find(u'=');
      const auto key = equals == std::u16string_view::npos ? std::u16string_view()
                                                           : Trim(rest.substr(0, equals));
      const auto value = key.empty() ? std::nullopt : DecodeValue(rest.substr(equals + 1));
      damaged = !value;
      if (value) {
        line.kind = Kind::kKey;
        line.key = DecodeName(key);
        line.value = *value;
      }
    }
    line.section = section;
    if (damaged || section == kUnknownSection) {
      file.damaged_.push_back(number);
      line.kind = Kind::kOther;
      line.section = kUnknownSection;
    }
    file.lines_.push_back(std::move(line));
  }
  return file;
}

std::optional<std::u16string> IniFile::Get(std::u16string_view section,
                                           std::u16string_view key) const {
  for (auto it = lines_.rbegin(); it != lines_.rend(); ++it) {
    if (it->kind == Kind::kKey && it->key == key && sections_[it->section] == section)
      return it->value;
  }
  return std::nullopt;
}

IniFile::Entries IniFile::AllEntries() const {
  Entries entries;
  for (const Line& line : lines_)
    if (line.kind == Kind::kKey) entries[{sections_[line.section], line.key}] = line.value;
  return entries;
}

void IniFile::Set(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  if (key.empty()) throw std::invalid_argument("Ein Schlüssel der Einstellungsdatei ist leer");
  const std::size_t index = SectionIndex(section);
  bool found = false;
  std::optional<std::size_t> last;  // the last header or key line of the section
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    Line& line = lines_[i];
    if (line.section != index || line.kind == Kind::kOther) continue;
    last = i;
    if (line.kind == Kind::kKey && line.key == key) {
      line.text = KeyLine(key, value);
      line.value = value;
      found = true;
    }
  }
  if (found) return;
  Line added{KeyLine(key, value), Kind::kKey, index, std::u16string(key), std::u16string(value)};
  if (last) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*last + 1), std::move(added));
  } else if (index == 0) {
    lines_.insert(lines_.begin(), std::move(added));  // before the first header
  } else {
    if (!lines_.empty() && !Trim(text::FromUtf8(lines_.back().text)).empty())
      lines_.push_back(Line{});
    lines_.push_back(Line{EncodeSection(section), Kind::kHeader, index});
    lines_.push_back(std::move(added));
  }
}

std::string IniFile::Bytes() const {
  std::string out;
  for (const Line& line : lines_) {
    if (line.section == kUnknownSection) continue;
    out += line.text;
    out += '\n';
  }
  // A first line that starts with U+FEFF would lose it to the byte order mark the reader skips.
  if (out.starts_with(kByteOrderMark)) out.insert(0, kByteOrderMark);
  return out;
}

}  // namespace quorel::qt
