// The settings file reader on any bytes: never a crash; what a save writes reads back whole and
// the same: every key that read before, and the keys set, with their values exactly.
//
// Input: the file. The values set come from the file's own bytes: its first 64 bytes as UTF-16
// code units (any of them, lone surrogates and controls included), and its last 32 bytes as
// UTF-8; so are the keys' names.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/properties.h"
#include "platform/qt/ini_file.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quorel::fuzz::Require;
  using quorel::qt::IniFile;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  IniFile file = IniFile::Parse(bytes);

  // A save of nothing new: the readable keys stay, the damaged lines go.
  IniFile::Entries expected = file.AllEntries();
  const IniFile same = IniFile::Parse(file.Bytes());
  Require(same.DamagedLines().empty(), "a saved file has no damaged line");
  Require(same.AllEntries() == expected, "a saved file reads the same");

  // Keys set: the login's, one of the file's own, and names and values of arbitrary text.
  const std::u16string units = quorel::fuzz::Units(data, std::min<std::size_t>(size, 64));
  const std::u16string tail =
      quorel::text::FromUtf8(bytes.substr(size - std::min<std::size_t>(size, 32)));
  const auto set = [&](const std::u16string& section, const std::u16string& key,
                       const std::u16string& value) {
    if (key.empty()) return;  // no line can hold it
    file.Set(section, key, value);
    expected[{section, key}] = value;
  };
  set(u"Login", u"Passwort", units);
  set(u"Login", u"Name", tail);
  if (!expected.empty()) set(expected.begin()->first.first, expected.begin()->first.second, tail);
  if (!units.empty()) set(units.substr(0, 3), units.substr(units.size() / 2), units);
  set(u"", tail, u"@" + tail);

  const IniFile saved = IniFile::Parse(file.Bytes());
  Require(saved.DamagedLines().empty(), "a saved file has no damaged line");
  Require(saved.AllEntries() == expected, "a saved file reads back what was set and kept");
  return 0;
}
