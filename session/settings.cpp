#include "session/settings.h"

#include "platform/text.h"

namespace quorel::cacheapi {

namespace {

// Position and field counters are 8-bit: they address at most 255 characters and fields.
constexpr std::size_t kCounterMax = 255;

// The one-byte key of the password scrambling. Below 0x20, so every character a user can type
// (code 0x20 and above) scrambles to one of code 0x20 and above: never NUL or a C0 control. Six
// do scramble to controls: "j" to DEL, and "…", "ˆ", "”", "˜", "š" to the five C1 controls the
// code page leaves unassigned; the settings store keeps those like any other character. No
// key would avoid that: with any key but zero, some character a user can type scrambles to a
// control.
constexpr std::uint8_t kScrambleKey = 0x15;

std::u16string StoreRead(Session& s, std::u16string_view key, std::u16string_view defaultValue) {
  return s.platform.store.GetSetting(kStoreApp, kStoreSection, key, defaultValue);
}

// Shows the session values in the dialogs' fields, in the order the dialogs are filled.
void FillDialogFields(Session& s) {
  platform::Form server(s.platform.desktop, std::u16string(kServerDialog));
  platform::Form login(s.platform.desktop, std::u16string(kLoginDialog));
  server.SetText(u"BFIRMA", s.Firma);
  server.SetText(u"BFIL", s.Filiale);
  server.SetText(u"BSERVERIP", s.ServerIP);
  server.SetText(u"BPORT", s.ServerPort);
  server.SetText(u"BNAMESPACE", s.Namespace);
  login.SetText(u"BUSER", s.UserName);
}

void LoadFromStore(Session& s) {
  s.Firma = StoreRead(s, u"Firma", u"1");
  s.Filiale = StoreRead(s, u"Filiale", u"0");
  s.ServerIP = StoreRead(s, u"Server", kDefaultServerIP);
  s.ServerPort = StoreRead(s, u"Port", u"1973");
  s.Namespace = StoreRead(s, u"Namespace", u"MIRLOX");
  s.UserName = StoreRead(s, u"Name", u"");
  s.Passwort = ScramblePassword(StoreRead(s, u"Passwort", u""));
  platform::Form(s.platform.desktop, std::u16string(kLoginDialog))
      .SetText(u"BPASSWORT", s.Passwort);
  FillDialogFields(s);
}

void LoadFromCommandLine(Session& s, std::u16string_view args) {
  // Assigned one by one: an overflow in a later field leaves the earlier ones assigned.
  s.Firma = GetField(args, u" ", 1);
  s.Filiale = GetField(args, u" ", 2);
  s.UserName = GetField(args, u" ", 3);
  s.Passwort = GetField(args, u" ", 4);
  s.ServerIP = GetField(args, u" ", 5, kDefaultServerIP);
  s.ServerPort = GetField(args, u" ", 6, u"1972");
  s.Namespace = GetField(args, u" ", 7, u"MIRLOX");
  FillDialogFields(s);
}

}  // namespace

void ReadSettings(Session& s) {
  const std::u16string args = s.platform.system.CommandLine();
  if (!args.empty()) {
    LoadFromCommandLine(s, args);
  } else {
    LoadFromStore(s);
    if (s.Passwort.empty()) {
      s.platform.desktop.Show(kLoginDialog, platform::ShowMode::Modal);
      // Whether the user saved or cancelled, the store now says what holds.
      LoadFromStore(s);
    }
  }
  s.ConnectString = u"cn_iptcp:" + s.ServerIP + u"[" + s.ServerPort + u"]:MIRLOX";
}

std::u16string GetField(std::u16string_view text, std::u16string_view delimiter,
                        std::int16_t fieldNumber, std::u16string_view defaultValue) {
  if (text.size() > kCounterMax) throw OverflowError("GetField");
  std::u16string result;
  std::size_t field = 1;
  bool closed = false;
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    // Compared as whole texts: only a one-character delimiter can ever match.
    if (delimiter.size() == 1 && text[pos] == delimiter[0]) {
      if (field == kCounterMax) throw OverflowError("GetField");
      ++field;
      if (static_cast<int>(field) == fieldNumber + 1) {
        closed = true;
        break;
      }
    } else if (static_cast<int>(field) == fieldNumber) {
      result.push_back(text[pos]);
    }
  }
  // The position counter runs past 255 when a 255-character scan is not stopped by a delimiter.
  if (!closed && text.size() == kCounterMax) throw OverflowError("GetField");
  return result.empty() ? std::u16string(defaultValue) : result;
}

std::u16string ScramblePassword(std::u16string_view text) {
  // The counter reaches its limit at 255 characters; nothing is returned then.
  if (text.size() >= kCounterMax) throw OverflowError("ScramblePassword");
  std::u16string result;
  result.reserve(text.size());
  for (char16_t ch : text) {
    // A character outside the code page has no code to scramble and passes unchanged, so that
    // scrambling twice still gives the text back.
    const auto code = text::CodeFromChar(ch);
    result.push_back(code ? text::CharFromCode(*code ^ kScrambleKey) : ch);
  }
  return result;
}

}  // namespace quorel::cacheapi
