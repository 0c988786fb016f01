#include <gtest/gtest.h>

#include "session/cacheapi.h"
#include "support/harness.h"

namespace quorel::testing {
namespace {

using cacheapi::ReadSettings;
using cacheapi::ScramblePassword;

const std::u16string kDefaultIP(cacheapi::kDefaultServerIP);

void ExpectDialogFields(Harness& h, const std::vector<std::u16string>& server,
                        const std::u16string& user) {
  const char16_t* fields[] = {u"BFIRMA", u"BFIL", u"BSERVERIP", u"BPORT", u"BNAMESPACE"};
  for (std::size_t i = 0; i < server.size(); ++i)
    EXPECT_EQ(U8(h.screen.TextOf(u"FMServer", fields[i])), U8(server[i])) << U8(fields[i]);
  EXPECT_EQ(U8(h.screen.TextOf(u"FMPass", u"BUSER")), U8(user));
}

TEST(ReadSettings, EmptyStoreAsksOnceWithDefaultsAndReadsTheStoreAgain) {
  Harness h;
  h.screen.Check("the login dialog shows the store's defaults", [&] {
    EXPECT_TRUE(h.screen.IsModal(u"FMPass"));
    EXPECT_EQ(h.screen.OwnerOf(u"FMPass"), u"");
    ExpectDialogFields(h, {u"1", u"0", kDefaultIP, u"1973", u"MIRLOX"}, u"");
    EXPECT_EQ(h.screen.TextOf(u"FMPass", u"BPASSWORT"), u"");
    EXPECT_EQ(h.screen.FocusOf(u"FMPass"), u"BPASSWORT");
  });
  h.screen.Type(u"FMPass", u"BUSER", u"abc");
  h.screen.Type(u"FMPass", u"BPASSWORT", u"Geheim 1");
  h.screen.Click(u"FMPass", u"BUSpeich");
  h.Call([&] { ReadSettings(h.session()); });

  auto& s = h.session();
  EXPECT_EQ(s.UserName, u"ABC");  // upper-cased when the focus left the field
  EXPECT_EQ(s.Passwort, u"Geheim 1");
  EXPECT_EQ(s.Firma, u"1");
  EXPECT_EQ(s.Filiale, u"0");
  EXPECT_EQ(s.ServerPort, u"1973");
  EXPECT_EQ(s.Namespace, u"MIRLOX");
  EXPECT_EQ(U8(s.ConnectString), U8(u"cn_iptcp:" + kDefaultIP + u"[1973]:MIRLOX"));
  EXPECT_EQ(h.Log("show FMPass").size(), 1u);
  EXPECT_FALSE(h.screen.IsVisible(u"FMPass"));
  EXPECT_EQ(h.screen.TextOf(u"FMPass", u"BPASSWORT"), u"Geheim 1");
}

TEST(ReadSettings, CancelledDialogLeavesTheStoreAsItWasAndIsNotShownTwice) {
  Harness h;
  h.store.Put(u"Name", u"MEIER");
  h.store.Put(u"Server", u"10.1.2.3");
  h.screen.Type(u"FMPass", u"BPASSWORT", u"typed but cancelled");
  h.screen.PressEscape(u"FMPass");
  h.Call([&] { ReadSettings(h.session()); });

  EXPECT_EQ(h.session().Passwort, u"");
  EXPECT_EQ(h.session().UserName, u"MEIER");
  EXPECT_EQ(h.Log("show FMPass").size(), 1u);
  EXPECT_TRUE(h.store.Writes().empty());
  // The dialog was destroyed by the cancel and filled again from the store.
  EXPECT_EQ(h.Log("destroy FMPass").size(), 1u);
  ExpectDialogFields(h, {u"1", u"0", u"10.1.2.3", u"1973", u"MIRLOX"}, u"MEIER");
  EXPECT_EQ(h.screen.TextOf(u"FMPass", u"BPASSWORT"), u"");
}

TEST(ReadSettings, StoredPasswordNeedsNoDialog) {
  Harness h;
  h.store.Put(u"Passwort", ScramblePassword(u"pw ß€"));
  h.store.Put(u"Firma", u"");  // stored empty: read as empty, not as the default
  h.store.Put(u"Port", u"2000");
  h.Call([&] { ReadSettings(h.session()); });
  EXPECT_EQ(h.session().Passwort, u"pw ß€");
  EXPECT_EQ(h.session().Firma, u"");
  EXPECT_EQ(h.screen.TextOf(u"FMPass", u"BPASSWORT"), u"pw ß€");
  EXPECT_TRUE(h.Log("show").empty());
  EXPECT_EQ(U8(h.session().ConnectString), U8(u"cn_iptcp:" + kDefaultIP + u"[2000]:MIRLOX"));
}

struct CommandLineCase {
  std::u16string line;
  std::vector<std::u16string> values;  // Firma .. Namespace
  std::u16string connect;
};

TEST(ReadSettings, CommandLineFieldsReplaceTheStore) {
  const std::vector<CommandLineCase> cases = {
      {u"1 0 ABC geheim",
       {u"1", u"0", u"ABC", u"geheim", kDefaultIP, u"1972", u"MIRLOX"},
       u"cn_iptcp:" + kDefaultIP + u"[1972]:MIRLOX"},
      {u"2 3 U P 10.0.0.5 1999 TEST extra words",
       {u"2", u"3", u"U", u"P", u"10.0.0.5", u"1999", u"TEST"},
       u"cn_iptcp:10.0.0.5[1999]:MIRLOX"},
      {u"1  0 ABC",  // two blanks: the branch becomes the user code
       {u"1", u"", u"0", u"ABC", kDefaultIP, u"1972", u"MIRLOX"},
       u"cn_iptcp:" + kDefaultIP + u"[1972]:MIRLOX"},
      {u"1 0 ABC",  // no password field: no dialog either
       {u"1", u"0", u"ABC", u"", kDefaultIP, u"1972", u"MIRLOX"},
       u"cn_iptcp:" + kDefaultIP + u"[1972]:MIRLOX"},
      {u" 5",
       {u"", u"5", u"", u"", kDefaultIP, u"1972", u"MIRLOX"},
       u"cn_iptcp:" + kDefaultIP + u"[1972]:MIRLOX"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.line));
    Harness h(c.line);
    h.store.Put(u"Passwort", ScramblePassword(u"stored"));
    h.store.Put(u"Firma", u"99");
    h.desktop.SetText(u"FMPass", u"BPASSWORT", u"earlier");
    h.Call([&] { ReadSettings(h.session()); });
    const auto& s = h.session();
    EXPECT_EQ(std::vector<std::u16string>({s.Firma, s.Filiale, s.UserName, s.Passwort, s.ServerIP,
                                           s.ServerPort, s.Namespace}),
              c.values);
    EXPECT_EQ(U8(s.ConnectString), U8(c.connect));
    ExpectDialogFields(h, {c.values[0], c.values[1], c.values[4], c.values[5], c.values[6]},
                       c.values[2]);
    EXPECT_EQ(h.screen.TextOf(u"FMPass", u"BPASSWORT"), u"earlier");
    EXPECT_TRUE(h.Log("show").empty());
    EXPECT_TRUE(h.store.Writes().empty());
  }
}

TEST(ReadSettings, OverlongCommandLineChangesNothing) {
  Harness h(std::u16string(256, u'7'));
  h.session().Firma = u"before";
  h.session().ConnectString = u"old";
  EXPECT_THROW(ReadSettings(h.session()), cacheapi::OverflowError);
  EXPECT_EQ(h.session().Firma, u"before");
  EXPECT_EQ(h.session().ConnectString, u"old");
}

TEST(ReadSettings, CommandLineOf255Characters) {
  // Seven blanks close all seven fields: the rest is ignored and nothing overflows.
  std::u16string closed = u"1 0 ABC pw 10.0.0.1 1972 NS ";
  closed += std::u16string(255 - closed.size(), u'x');
  Harness ok(closed);
  ok.Call([&] { ReadSettings(ok.session()); });
  EXPECT_EQ(ok.session().Namespace, u"NS");
  EXPECT_EQ(ok.session().ServerIP, u"10.0.0.1");

  // Fewer blanks: the first field that is not closed overflows, the earlier ones are assigned.
  std::u16string open = u"4 5 " + std::u16string(251, u'u');
  Harness h(open);
  h.session().UserName = u"unchanged";
  h.session().ConnectString = u"old";
  EXPECT_THROW(ReadSettings(h.session()), cacheapi::OverflowError);
  EXPECT_EQ(h.session().Firma, u"4");
  EXPECT_EQ(h.session().Filiale, u"5");
  EXPECT_EQ(h.session().UserName, u"unchanged");
  EXPECT_EQ(h.session().ConnectString, u"old");
}

TEST(ReadSettings, StoredPasswordOf255CharactersOverflows) {
  Harness h;
  h.store.Put(u"Passwort", std::u16string(255, u'q'));
  EXPECT_THROW(ReadSettings(h.session()), cacheapi::OverflowError);
}

}  // namespace
}  // namespace quorel::testing
