// The contents of an INI settings file, read line by line so that a line that cannot be read
// costs that line alone, and written back so that every line of it reads again.
//
// Lines end at LF, CR or CR LF. A line is blank, a comment (';' or '#' first), a section header
// "[name]", or "key=value" (the key ends at the first '='); blanks around keys and values go.
// Section names and keys stand for other characters with %XX and %UXXXX (hexadecimal code
// units) and for '/' with '\'; the section "General" holds the keys before the first header,
// "%General" is a section of that name. A value may be quoted ("...") to keep blanks, ';' and
// ','; it knows the escapes \a \b \f \n \r \t \v \" \' \? \\, \x with hexadecimal digits and
// \ with octal digits (one UTF-16 code unit each); an unquoted ';' starts a comment, unquoted
// ',' separate list items, which read as the items joined by ", "; "@@" at its start stands for
// '@', and "@String(...)" for what is in the brackets. That is the syntax QSettings writes for
// texts.
//
// A line is damaged when it is none of these, holds a control byte other than tab, is not UTF-8,
// or has a value with an open quote or a backslash at its end. A damaged line is skipped; under
// a damaged section header the lines up to the next header are skipped too, since their
// section is unknown. A header without its ']' is taken up to the line's end.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorel::qt {

class IniFile {
 public:
  // Every key by section and name, the last of equal ones winning.
  using Entries = std::map<std::pair<std::u16string, std::u16string>, std::u16string>;

  static IniFile Parse(std::string_view bytes);

  std::optional<std::u16string> Get(std::u16string_view section, std::u16string_view key) const;
  // Replaces the value of every line of the key, or adds the key at the end of its section (a
  // new section at the end of the file). Throws std::invalid_argument for an empty key, which
  // no line can hold.
  void Set(std::u16string_view section, std::u16string_view key, std::u16string_view value);

  Entries AllEntries() const;
  // The numbers (from 1) of the lines that cannot be read, including those skipped under a
  // damaged section header.
  const std::vector<std::size_t>& DamagedLines() const { return damaged_; }
  // The file to write: the lines that were read as they were (a header without its ']' with
  // it), the keys set since in their new form, the damaged lines left out.
  std::string Bytes() const;

 private:
  enum class Kind { kOther, kHeader, kKey };
  static constexpr std::size_t kUnknownSection = static_cast<std::size_t>(-1);
  struct Line {
    std::string text;
    Kind kind = Kind::kOther;
    std::size_t section = 0;  // index into sections_; kUnknownSection under a damaged header
    std::u16string key{};
    std::u16string value{};
  };

  std::size_t SectionIndex(std::u16string_view name);

  std::vector<Line> lines_;
  std::vector<std::u16string> sections_{u""};  // 0: the keys before the first header
  std::vector<std::size_t> damaged_;
};

}  // namespace quorel::qt
