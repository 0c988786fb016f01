#include <gtest/gtest.h>

#include "forms/exit_status.h"
#include "logged_in.h"

namespace quorel::testing {
namespace {

TEST(FMStart, LoginMenuShowsTheDialogModelessAndBringsItForwardWhenShown) {
  LoggedIn h;
  h.screen.ChooseMenu(u"FMStart", u"mLogin");
  h.screen.Check("the dialog holds what the start-up left in it", [&] {
    EXPECT_TRUE(h.screen.IsVisible(u"FMPass"));
    EXPECT_FALSE(h.screen.IsModal(u"FMPass"));
    EXPECT_EQ(h.screen.OwnerOf(u"FMPass"), u"FMStart");
    EXPECT_EQ(h.screen.TextOf(u"FMPass", u"BUSER"), u"ABC");
  });
  h.screen.Activate(u"FMStart");
  h.screen.ChooseMenu(u"FMStart", u"mLogin");
  EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
  EXPECT_EQ(h.Log("show FMPass").size(), 1u);
  EXPECT_EQ(h.Log("raise FMPass").size(), 1u);
  EXPECT_EQ(h.screen.ActiveForm(), u"FMPass");
}

TEST(FMStart, LoginDialogComesBackEmptyAfterCancelOrCloseBox) {
  for (bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "Abbruch" : "close box");
    LoggedIn h;
    h.screen.ChooseMenu(u"FMStart", u"mLogin");
    h.screen.Type(u"FMPass", u"BPASSWORT", u"x");
    if (cancel)
      h.screen.Click(u"FMPass", u"BUAusst");
    else
      h.screen.CloseBox(u"FMPass");
    h.screen.ChooseMenu(u"FMStart", u"mLogin");
    EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
    EXPECT_EQ(h.screen.TextOf(u"FMPass", u"BUSER"), u"");
    EXPECT_EQ(h.screen.TextOf(u"FMPass", u"BPASSWORT"), u"");
    EXPECT_EQ(U8(h.session().Benutzer), cancel ? "" : "ABC | Erika Muster");
    EXPECT_TRUE(h.store.Writes().empty());
    EXPECT_EQ(U8(h.screen.CaptionOf(u"FMStart")), U8(LoggedIn::kCaption));
  }
}

TEST(FMStart, HelpMenuAndF1ShowOneAboutBox) {
  LoggedIn h;
  h.screen.PressF1(u"FMStart");
  h.screen.Activate(u"FMStart");
  h.screen.ChooseMenu(u"FMStart", u"HilfeUeber");
  EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
  EXPECT_EQ(h.Log("create frmAbout").size(), 1u);
  EXPECT_EQ(h.Log("show frmAbout"), std::vector<std::string>{"show frmAbout modeless"});
  EXPECT_EQ(h.Log("raise frmAbout").size(), 1u);
}

TEST(FMStart, EndingClosesEveryWindowAndDisconnects) {
  for (bool menu : {true, false}) {
    SCOPED_TRACE(menu ? "Beenden" : "close box");
    LoggedIn h;
    h.screen.ChooseMenu(u"FMStart", u"mLogin");
    h.screen.Activate(u"FMStart");
    h.screen.PressF1(u"FMStart");
    h.screen.Activate(u"FMStart");
    if (menu)
      h.screen.ChooseMenu(u"FMStart", u"Beenden");
    else
      h.screen.CloseBox(u"FMStart");
    EXPECT_EQ(h.Run(), forms::kExitNormal) << h.Dump();
    for (auto form : {u"FMStart", u"FMPass", u"FMServer", u"frmAbout"})
      EXPECT_FALSE(h.screen.HasWindow(form)) << U8(form);
    EXPECT_EQ(h.server.OpenConnections(), 0);
    EXPECT_LT(h.log.IndexOf("server disconnect #1"), h.log.IndexOf("destroy FMStart"));
  }
}

TEST(FMStart, CaptionKeepsEmptyValuesWithEveryLiteral) {
  Harness h(u"  X pw");
  h.AddUser(u"||X", u"pw", u"J", u"");
  EXPECT_EQ(h.Run(), kStillRunning) << h.Dump();
  EXPECT_EQ(U8(h.screen.CaptionOf(u"FMStart")),
            "MIRLOX Quorel              Firma:      Filiale:      Benutzer: X | ");
}

}  // namespace
}  // namespace quorel::testing
