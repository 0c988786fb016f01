// The seven-key login sets the process tests save and check. Every value carries the set's tag,
// so a file mixing two saves shows as keys whose tags differ; the values are hostile texts, so
// that the files other processes write are also parsed back through every escape.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/settings_store.h"

namespace quorel::qt::testing {

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

// The tag of the complete set the store holds, or nothing when a key is missing or belongs to
// another set.
inline std::optional<std::u16string> CompleteSetTag(platform::SettingsStore& store) {
  constexpr std::u16string_view kAbsent = u"\uFFFF";
  const std::u16string tag = store.GetSetting(kApp, kSection, u"Firma", kAbsent);
  if (tag == kAbsent) return std::nullopt;
  for (const auto key : kKeys)
    if (store.GetSetting(kApp, kSection, key, kAbsent) != SetValue(key, tag)) return std::nullopt;
  return tag;
}

}  // namespace quorel::qt::testing
