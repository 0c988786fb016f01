#include <gtest/gtest.h>

#include "logged_in.h"

namespace quorel::testing {
namespace {

using platform::vbNo;
using platform::vbYes;

constexpr const char16_t* kFields[] = {u"BPORT", u"BSERVERIP", u"BFIRMA", u"BFIL", u"BNAMESPACE"};

// The server dialog, opened from the login dialog of a logged-in program.
struct ServerDialog : LoggedIn {
  ServerDialog() {
    screen.ChooseMenu(u"FMStart", u"mLogin");
    screen.Click(u"FMPass", u"BUServer");
  }
  void ExpectFieldsEnabled(bool on) {
    for (auto f : kFields)
      EXPECT_EQ(desktop.Enabled(u"FMServer", f), on) << U8(f);
    for (auto f : kFields)
      EXPECT_EQ(screen.IsEnabled(u"FMServer", f), on) << U8(f);
  }
};

// "Ändern" asks before it opens the fields and locks them again without a question.
TEST(FMServer, ChangeAsksBeforeOpeningAndAnsweredNoKeepsTheFieldsLocked) {
  ServerDialog h;
  h.screen.Click(u"FMServer", u"BUEdit");
  h.screen.Answer(vbNo);
  h.screen.Check("locked, value true", [&] {
    h.ExpectFieldsEnabled(false);
    EXPECT_TRUE(h.desktop.Value(u"FMServer", u"BUEdit"));
  });
  // The next click asks again.
  h.screen.Click(u"FMServer", u"BUEdit");
  h.screen.Answer(vbYes);
  h.screen.Check("open", [&] { h.ExpectFieldsEnabled(true); });
  h.screen.Click(u"FMServer", u"BUEdit");
  h.screen.Check("locked", [&] { h.ExpectFieldsEnabled(false); });
  h.screen.Click(u"FMServer", u"BUZurück");
  EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
  EXPECT_EQ(
      h.Log("msgbox"),
      std::vector<std::string>(2, "msgbox style=4 title=Anmeldung an Caché: Änderungen erlauben?"));
}

TEST(FMServer, ReturnKeepsFieldsAndLockStateAndEnterInAFieldReturns) {
  ServerDialog h;
  h.screen.Click(u"FMServer", u"BUEdit");
  h.screen.Answer(vbYes);
  h.screen.Type(u"FMServer", u"BSERVERIP", u"10.20.30.40");
  h.screen.PressEnter(u"FMServer");  // the field has the focus: the default button "Zurück"
  h.screen.Check("back in the login dialog", [&] {
    EXPECT_FALSE(h.screen.IsVisible(u"FMServer"));
    EXPECT_EQ(h.screen.ActiveForm(), u"FMPass");
  });
  h.screen.Click(u"FMPass", u"BUServer");
  h.screen.Check("shown again as it was", [&] {
    EXPECT_EQ(h.screen.TextOf(u"FMServer", u"BSERVERIP"), u"10.20.30.40");
    h.ExpectFieldsEnabled(true);
  });
  h.screen.CloseBox(u"FMServer");  // hides like "Zurück"
  EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
  EXPECT_TRUE(h.screen.HasWindow(u"FMServer"));
  EXPECT_EQ(h.screen.TextOf(u"FMServer", u"BSERVERIP"), u"10.20.30.40");
  EXPECT_EQ(h.Log("create FMServer").size(), 1u);
}

}  // namespace
}  // namespace quorel::testing
