// Texts every settings store must keep exactly: hostile single values, and the seven-key login
// sets that tests save and check. Every value of a set carries the set's tag, so a store mixing
// two saves shows as keys whose tags differ; the values are hostile texts as well.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_store.h"
#include "platform/text.h"

namespace quorel::testing {

// The characters of the single-byte code page from code `from` to 0xFF.
inline std::u16string AllCodePageCharacters(std::uint8_t from) {
  std::u16string all;
  for (unsigned code = from; code <= 0xFF; ++code)
    all.push_back(text::CharFromCode(static_cast<std::uint8_t>(code)));
  return all;
}

// Texts that stores tend to trim, split, escape, type or cut, and every code-page character
// (whatever a scrambled password can contain).
inline std::vector<std::u16string> HostileTexts() {
  return {u" leading",
          u"trailing ",
          u"  both  ",
          u" ",
          u"\t",
          u"a=b",
          u"=",
          u"==x",
          u"a;b",
          u";x",
          u"#comment",
          u"#",
          u"\"quoted\"",
          u"\"",
          u"'single'",
          u"back\\slash",
          u"\\",
          u"\\\\",
          u"\\x41",
          u"\\0",
          u"\\n",
          u"a,b",
          u",",
          u" a , b ,",
          u"@",
          u"@at",
          u"@@",
          u"@@@x",
          u"@Variant(\\0\\0\\0\\x7f)",
          u"@ByteArray(abc)",
          u"@Invalid()",
          u"@String(x)",
          u"@Rect(1 2 3 4)",
          u"@DateTime(x)",
          u"[Login]",
          u"[",
          u"]",
          u"Firma=2",
          u"%General",
          u"%41",
          u"line\nbreak",
          u"cr\rlf\r\n",
          std::u16string(u"nul\0inside", 10),
          u"\x01\x1F",
          u"\u0080\u0081\u008D\u008F\u0090\u009D\u009F",
          u"\u007F",
          u"x\u007F",
          u"\u00A0nbsp\u00A0",
          u"\uFEFFbom",
          u"\U0001F600",
          u"a\U00010348b\U0010FFFF",
          u"äöüß€",
          u"\u00FF",
          u"",
          AllCodePageCharacters(0x00),
          AllCodePageCharacters(0x20)};
}

inline constexpr std::u16string_view kApp = u"Cache Login";
inline constexpr std::u16string_view kSection = u"Login";
inline constexpr std::array<std::u16string_view, 7> kKeys = {
    u"Firma", u"Filiale", u"Name", u"Passwort", u"Server", u"Port", u"Namespace"};

// The value of key in the set tagged tag. Firma is the tag itself.
inline std::u16string SetValue(std::u16string_view key, std::u16string_view tag) {
  const std::u16string t(tag);
  if (key == u"Firma") return t;
  if (key == u"Filiale") return u"@" + t + u",1";
  if (key == u"Name") return u" Meier, Hans " + t + u"; #\"x\" ";
  if (key == u"Passwort") return u"\u0081\u008D\u0090\u009D\u007F=;#\\\"" + t;
  if (key == u"Server") return u"10.0.0.1\\" + t + u"\t[Login]";
  if (key == u"Port") return t + u"\U0001F600";
  return u"@Variant(" + t + u")";
}

inline void SaveSet(platform::SettingsStore& store, std::u16string_view tag) {
  for (const auto key : kKeys)
    store.SaveSetting(kApp, kSection, key, SetValue(key, tag));
  store.Flush();
}

// The tag of the complete set the store holds for app, or nothing when a key is missing or
// belongs to another set.
inline std::optional<std::u16string> CompleteSetTag(platform::SettingsStore& store,
                                                    std::u16string_view app = kApp) {
  constexpr std::u16string_view kAbsent = u"\uFFFF";
  const std::u16string tag = store.GetSetting(app, kSection, u"Firma", kAbsent);
  if (tag == kAbsent) return std::nullopt;
  for (const auto key : kKeys)
    if (store.GetSetting(app, kSection, key, kAbsent) != SetValue(key, tag)) return std::nullopt;
  return tag;
}

}  // namespace quorel::testing
