#include <gtest/gtest.h>

#include "forms/FMPass.h"
#include "logged_in.h"
#include "session/cacheapi.h"

namespace quorel::testing {
namespace {

TEST(FMPass, PasswordFieldGetsTheFocusWheneverTheDialogComesToTheFront) {
  LoggedIn h;
  h.screen.ChooseMenu(u"FMStart", u"mLogin");
  h.screen.Check("shown", [&] { EXPECT_EQ(h.screen.FocusOf(u"FMPass"), u"BPASSWORT"); });
  h.screen.Focus(u"FMPass", u"BUSER");
  h.screen.Activate(u"FMStart");
  h.screen.Activate(u"FMPass");
  h.screen.Check("activated again", [&] { EXPECT_EQ(h.screen.FocusOf(u"FMPass"), u"BPASSWORT"); });
  h.screen.Focus(u"FMPass", u"BUSER");
  h.screen.Click(u"FMPass", u"BUServer");
  h.screen.Click(u"FMServer", u"BUZurück");
  h.screen.Check("back from the server dialog",
                 [&] { EXPECT_EQ(h.screen.FocusOf(u"FMPass"), u"BPASSWORT"); });
  EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
}

TEST(FMPass, UserCodeIsUpperCasedWhenTheFocusLeavesIt) {
  LoggedIn h;
  h.screen.ChooseMenu(u"FMStart", u"mLogin");
  h.screen.Type(u"FMPass", u"BUSER", u"ab12äß-x");
  h.screen.Check("not yet", [&] { EXPECT_EQ(h.screen.TextOf(u"FMPass", u"BUSER"), u"ab12äß-x"); });
  h.screen.Focus(u"FMPass", u"BPASSWORT");
  EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
  EXPECT_EQ(U8(h.screen.TextOf(u"FMPass", u"BUSER")), "AB12Äß-X");
}

TEST(FMPass, EnterStoresTheUserCodeAsTypedAndTheKeyboardTakesTwentyCharacters) {
  LoggedIn h;
  h.screen.ChooseMenu(u"FMStart", u"mLogin");
  h.screen.Type(u"FMPass", u"BPASSWORT", u"0123456789abcdefghijKLMNO");
  h.screen.Type(u"FMPass", u"BUSER", u"klein");
  h.screen.PressEnter(u"FMPass");
  EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
  ASSERT_EQ(h.store.Writes().size(), 7u);
  EXPECT_EQ(h.store.Writes()[2].value, u"klein");
  EXPECT_EQ(cacheapi::ScramblePassword(h.store.Writes()[3].value), u"0123456789abcdefghij");
  EXPECT_EQ(h.store.Flushes(), 1);
  EXPECT_FALSE(h.screen.IsVisible(u"FMPass"));
  EXPECT_EQ(h.screen.TextOf(u"FMPass", u"BUSER"), u"klein");  // hiding keeps the texts
  // The running session and the caption stay as they were.
  EXPECT_EQ(h.session().UserName, u"ABC");
  EXPECT_EQ(U8(h.screen.CaptionOf(u"FMStart")), U8(LoggedIn::kCaption));
  EXPECT_EQ(forms::FMPassLayout().Control(u"BPASSWORT")->passwordChar, u'*');
}

TEST(FMPass, StoresTheServerDialogsFieldsAsTheyStandAfterEditingThem) {
  LoggedIn h;
  h.screen.ChooseMenu(u"FMStart", u"mLogin");
  h.screen.Click(u"FMPass", u"BUServer");
  h.screen.Check("modal over the login dialog", [&] {
    EXPECT_TRUE(h.screen.IsModal(u"FMServer"));
    EXPECT_EQ(h.screen.OwnerOf(u"FMServer"), u"FMPass");
  });
  h.screen.Click(u"FMServer", u"BUEdit");
  h.screen.Answer(platform::vbYes);
  h.screen.Type(u"FMServer", u"BPORT", u" 2001 ");
  h.screen.Type(u"FMServer", u"BNAMESPACE", u"");
  h.screen.Click(u"FMServer", u"BUZurück");
  h.screen.Type(u"FMPass", u"BPASSWORT", u"neu");
  h.screen.Click(u"FMPass", u"BUSpeich");
  EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();

  std::vector<std::pair<std::u16string, std::u16string>> written;
  for (const auto& w : h.store.Writes())
    written.emplace_back(w.key, w.value);
  const std::vector<std::pair<std::u16string, std::u16string>> expected = {
      {u"Firma", u"1"},
      {u"Filiale", u"0"},
      {u"Name", u"ABC"},
      {u"Passwort", cacheapi::ScramblePassword(u"neu")},
      {u"Server", std::u16string(cacheapi::kDefaultServerIP)},
      {u"Port", u" 2001 "},
      {u"Namespace", u""},
  };
  EXPECT_EQ(written, expected);
  EXPECT_EQ(h.session().ServerPort, u"1972");
}

}  // namespace
}  // namespace quorel::testing
