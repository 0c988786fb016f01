// The tests every backend of real windows must pass with a user at the keyboard and the mouse
// (backend_fixture.h has the Driver they need):
//   Input     keys, clicks, menus, the tab order, the length limit, locked fields;
//   Dialogs   message boxes and the mouse pointer;
//   Accessible  the names the controls have for screen readers.
// Include in one source file per test program.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "forms/FMPass.h"
#include "forms/FMServer.h"
#include "forms/FMStart.h"
#include "forms/frmAbout.h"
#include "platform/desktop.h"
#include "tests/platform/desktop/backend_fixture.h"

namespace quorel::testing::backend {

template <class Driver>
class Input : public BackendTest<Driver> {};

TYPED_TEST_SUITE_P(Input);

TYPED_TEST_P(Input, EnterEscapeAndF1AreReportedAndNeverHandledByTheControls) {
  auto& d = this->driver;
  const WindowId pass = this->Shown(forms::FMPassLayout());
  this->Take();
  EXPECT_TRUE(d.HasKeyboardFocus(u"FMPass", u"BUSER"));
  for (UserKey k : {UserKey::Enter, UserKey::KeypadEnter, UserKey::Escape, UserKey::F1})
    d.Key(k);
  EXPECT_EQ(this->Take(4),
            (Lines{"key FMPass Enter", "key FMPass Enter", "key FMPass Escape", "key FMPass F1"}));
  // A focused button does not click itself on Enter, nor does the default button.
  this->backend().SetFocus(pass, u"BUAusst");
  d.Key(UserKey::Enter);
  d.Key(UserKey::Space);
  EXPECT_EQ(this->Take(3),
            (Lines{"focus lost FMPass.BUSER", "key FMPass Enter", "clicked FMPass.BUAusst"}));
}

TYPED_TEST_P(Input, ButtonsReportClicksByMouseSpaceAndAccessLetter) {
  auto& d = this->driver;
  const WindowId about = this->Shown(forms::frmAboutLayout());
  this->Take();
  d.Click(u"frmAbout", u"cmdOK");
  this->backend().SetFocus(about, u"cmdOK");
  d.Key(UserKey::Space);
  d.Alt(u'S');  // "&Systeminfo..."
  Lines clicks;
  this->Until([&] {  // the access letter clicks with a short animation
    for (auto& l : this->events.Take())
      if (l.starts_with("clicked")) clicks.push_back(l);
    return clicks.size() >= 3;
  });
  EXPECT_EQ(clicks, (Lines{"clicked frmAbout.cmdOK", "clicked frmAbout.cmdOK",
                           "clicked frmAbout.cmdSysInfo"}));
}

TYPED_TEST_P(Input, MenuItemsReportTheirNameAndF1DoesNotAlsoComeAsKey) {
  auto& d = this->driver;
  this->Shown(forms::FMStartLayout());
  this->Take();
  d.Key(UserKey::F1);  // the shortcut of its menu item, not a key of its own
  EXPECT_EQ(this->Take(1), Lines{"menu FMStart.HilfeUeber"});
  d.Alt(u'D');
  d.Type(u"b");
  EXPECT_EQ(this->Take(1), Lines{"menu FMStart.Beenden"});
}

TYPED_TEST_P(Input, TabReachesBothLinksOfTheAboutBoxAtTheirPlaces) {
  auto& b = this->backend();
  const WindowId about = this->Shown(forms::frmAboutLayout());
  std::vector<std::u16string> order{b.FocusedControl(about)};
  for (int i = 0; i < 5; ++i) {
    this->driver.Key(UserKey::Tab);
    this->Until([&] { return b.FocusedControl(about) != order.back(); });
    order.push_back(b.FocusedControl(about));
  }
  EXPECT_EQ(order, (std::vector<std::u16string>{u"cmdOK", u"picIcon", u"cmdSysInfo",
                                                u"ctHyperLink1", u"ctHyperLink2", u"cmdOK"}));
}

// The password field shows one star per character, whatever came in.
TYPED_TEST_P(Input, TheKeyboardEntersAtMostTheMaximumLengthButProgramTextsStayWhole) {
  auto& b = this->backend();
  auto& d = this->driver;
  const std::u16string x20(20, u'x'), y30(30, u'y');
  const struct {
    const char* what = "";
    std::u16string preset;     // set by the program
    std::u16string keys;       // typed; '\b' presses Backspace
    std::u16string clipboard;  // pasted after typing when not empty
    std::u16string expected;
  } cases[] = {
      {"typing stops at 20", u"", u"gEh" + std::u16string(22, u'a'), u"",
       u"gEh" + std::u16string(17, u'a')},
      {"a full field takes no more", x20, u"b", u"", x20},
      {"a longer program text stays", y30, u"", u"", y30},
      {"it can be shortened", y30, u"\b", u"", y30.substr(1)},
      {"but not lengthened again", y30, u"\bz", u"", y30.substr(1)},
      {"paste is cut to fit", u"abc", u"", std::u16string(30, u'p'),
       u"abc" + std::u16string(17, u'p')},
      {"paste into a full field adds nothing", x20, u"", u"pp", x20},
  };
  const WindowId pass = this->Shown(forms::FMPassLayout());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    b.SetControlText(pass, u"BPASSWORT", c.preset);
    b.SetFocus(pass, u"BPASSWORT");
    d.Key(UserKey::End);
    for (char16_t ch : c.keys) {
      if (ch == u'\b')
        d.Key(UserKey::Backspace);
      else
        d.Type(std::u16string(1, ch));
    }
    if (!c.clipboard.empty()) d.Paste(c.clipboard);
    d.Settle();
    this->Until([&] { return b.ControlText(pass, u"BPASSWORT") == c.expected; }, 1000);
    EXPECT_EQ(U8(b.ControlText(pass, u"BPASSWORT")), U8(c.expected));
    EXPECT_EQ(d.DisplayedText(u"FMPass", u"BPASSWORT"), std::u16string(c.expected.size(), u'*'));
  }
}

TYPED_TEST_P(Input, LockedFieldsShowTheButtonFaceAndTakeInputOnlyWhenOpen) {
  auto& b = this->backend();
  auto& d = this->driver;
  this->Shown(forms::FMPassLayout());
  const std::uint32_t field = this->Background(u"FMPass", u"BUSER");
  ASSERT_NE(field, d.ButtonFace());  // else the checks below could not tell
  const WindowId server = this->Shown(forms::FMServerLayout());
  const auto typeNine = [&] {
    d.Click(u"FMServer", u"BPORT");
    d.Key(UserKey::End);
    d.Type(u"9");
    d.Settle();
  };
  EXPECT_FALSE(d.IsEnabled(u"FMServer", u"BPORT"));
  EXPECT_EQ(this->Background(u"FMServer", u"BPORT"), d.ButtonFace());
  typeNine();
  EXPECT_EQ(b.ControlText(server, u"BPORT"), u"1973");
  b.SetControlEnabled(server, u"BPORT", true);
  EXPECT_EQ(this->Background(u"FMServer", u"BPORT"), d.ButtonFace());
  typeNine();
  this->Until([&] { return b.ControlText(server, u"BPORT") != u"1973"; }, 1000);
  EXPECT_EQ(b.ControlText(server, u"BPORT"), u"19739");
  EXPECT_EQ(this->Background(u"FMServer", u"BPORT"), d.ButtonFace());
}

TYPED_TEST_P(Input, WaitingEndsAtOnceWhenTheUserActs) {
  auto& b = this->backend();
  auto& d = this->driver;
  this->Shown(forms::FMPassLayout());
  this->Take();
  d.Key(UserKey::Escape);
  std::int64_t start = d.NowMs();
  b.ProcessEvents(2000ms);
  EXPECT_LT(d.NowMs() - start, 500);
  this->Until([&] { return this->events.Count() > 0; }, 1000);
  EXPECT_EQ(this->Take(), Lines{"key FMPass Escape"});
  // WaitForEvents returns once something was handled.
  d.Key(UserKey::Escape);
  start = d.NowMs();
  b.WaitForEvents(false);
  EXPECT_LT(d.NowMs() - start, 1000);
}

// An Alt combination that nothing takes types nothing; AltGr still types its character.
TYPED_TEST_P(Input, AltCombinationsTypeNothingButAltGrDoes) {
  auto& b = this->backend();
  auto& d = this->driver;
  const WindowId pass = this->Shown(forms::FMPassLayout());
  for (const char16_t* field : {u"BUSER", u"BPASSWORT"}) {
    SCOPED_TRACE(U8(field));
    b.SetFocus(pass, field);
    d.Alt(u'A');
    d.Alt(u'Q');
    d.AltGrQ();
    d.Type(u"x");
    this->Until([&] { return b.ControlText(pass, field).ends_with(u"x"); }, 1000);
    EXPECT_EQ(U8(b.ControlText(pass, field)), "@x");
  }
}

// Each control the tab order leaves reports the loss of the focus. As in the system's dialogs:
// a focused push button looks like the default button, and the default button does whenever no
// other push button has the focus.
TYPED_TEST_P(Input, TabbingReportsEachLostFocusAndMovesTheDefaultLook) {
  auto& b = this->backend();
  auto& d = this->driver;
  const auto looksDefault = [&](const FormDescription& form) {
    std::vector<std::u16string> buttons;
    for (const auto& c : form.controls)
      if (platform::IsButton(c) && d.LooksDefault(form.name, c.name)) buttons.push_back(c.name);
    return buttons;
  };
  using Names = std::vector<std::u16string>;
  const FormDescription pass = forms::FMPassLayout();
  const WindowId passId = this->Shown(pass);
  this->Take();
  // A round trip of the tab order, from the first control in it.
  const std::pair<const char16_t*, const char16_t*> trip[] = {
      {u"BUSER", u"BUSpeich"},  {u"BPASSWORT", u"BUSpeich"}, {u"BUSpeich", u"BUSpeich"},
      {u"BUAusst", u"BUAusst"}, {u"BUServer", u"BUServer"},  {u"BUSER", u"BUSpeich"}};
  for (const auto& step : trip) {
    const auto& [focus, button] = step;
    if (&step != trip) d.Key(UserKey::Tab);
    EXPECT_TRUE(this->Until([&] { return b.FocusedControl(passId) == focus; }, 1000));
    EXPECT_EQ(looksDefault(pass), Names{button}) << U8(focus);
  }
  EXPECT_EQ(this->Take(5), (Lines{"focus lost FMPass.BUSER", "focus lost FMPass.BPASSWORT",
                                  "focus lost FMPass.BUSpeich", "focus lost FMPass.BUAusst",
                                  "focus lost FMPass.BUServer"}));
  const FormDescription server = forms::FMServerLayout();
  const WindowId serverId = this->Shown(server);
  EXPECT_EQ(looksDefault(server), Names{u"BUEdit"});  // the fields are locked
  b.SetControlEnabled(serverId, u"BFIRMA", true);
  b.SetFocus(serverId, u"BFIRMA");
  d.Settle();
  EXPECT_EQ(looksDefault(server), Names{u"BUZurück"});
}

REGISTER_TYPED_TEST_SUITE_P(Input, EnterEscapeAndF1AreReportedAndNeverHandledByTheControls,
                            ButtonsReportClicksByMouseSpaceAndAccessLetter,
                            MenuItemsReportTheirNameAndF1DoesNotAlsoComeAsKey,
                            TabReachesBothLinksOfTheAboutBoxAtTheirPlaces,
                            TheKeyboardEntersAtMostTheMaximumLengthButProgramTextsStayWhole,
                            LockedFieldsShowTheButtonFaceAndTakeInputOnlyWhenOpen,
                            WaitingEndsAtOnceWhenTheUserActs,
                            AltCombinationsTypeNothingButAltGrDoes,
                            TabbingReportsEachLostFocusAndMovesTheDefaultLook);

template <class Driver>
class Dialogs : public BackendTest<Driver> {};

TYPED_TEST_SUITE_P(Dialogs);

TYPED_TEST_P(Dialogs, MessageBoxesShowTheStyleAndReturnTheAnswer) {
  using platform::vbCritical, platform::vbExclamation, platform::vbYesNo;
  const auto click = BoxAnswer::Click;
  const auto key = BoxAnswer::Press;
  const std::vector<std::u16string> ok{u"OK"}, yesNo{u"Ja", u"Nein"};
  const struct {
    int style = 0;
    BoxAnswer answer;
    BoxIcon icon = BoxIcon::None;
    const std::vector<std::u16string>& buttons;
    int expected = 0;
  } cases[] = {
      {platform::vbOKOnly, click(u"OK"), BoxIcon::None, ok, platform::vbOK},
      {platform::vbInformation, key(UserKey::Enter), BoxIcon::Information, ok, platform::vbOK},
      {vbExclamation, key(UserKey::Escape), BoxIcon::Warning, ok, platform::vbOK},
      {vbCritical, click(u"OK"), BoxIcon::Critical, ok, platform::vbOK},
      {vbYesNo, click(u"Ja"), BoxIcon::None, yesNo, platform::vbYes},
      {vbYesNo, click(u"Nein"), BoxIcon::None, yesNo, platform::vbNo},
      {vbYesNo, key(UserKey::Enter), BoxIcon::None, yesNo, platform::vbYes},
      // Left without an answer, it says no.
      {vbYesNo, key(UserKey::Escape), BoxIcon::None, yesNo, platform::vbNo},
      {vbYesNo, BoxAnswer::Close(), BoxIcon::None, yesNo, platform::vbNo},
      {vbYesNo | vbCritical, click(u"Nein"), BoxIcon::Critical, yesNo, platform::vbNo},
  };
  this->Shown(forms::FMPassLayout());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.style);
    BoxSeen seen;
    const int answer = this->AnswerMessageBox(
        [&] { return this->backend().MessageBox(u"Zeile 1\r\nZeile 2", c.style, u"Titel"); },
        c.answer, seen);
    EXPECT_EQ(answer, c.expected);
    EXPECT_EQ(seen.title, u"Titel");
    EXPECT_EQ(seen.text, u"Zeile 1\nZeile 2");
    EXPECT_EQ(seen.icon, c.icon);
    EXPECT_EQ(seen.buttons, c.buttons);
    EXPECT_EQ(seen.owner, u"FMPass");
    EXPECT_TRUE(seen.ownerBlocked);
  }
}

TYPED_TEST_P(Dialogs, TheHourglassIsShownOverEveryWindowUntilItIsReset) {
  auto& b = this->backend();
  auto& d = this->driver;
  this->Shown(forms::FMPassLayout());
  d.PointAt(u"FMPass", u"BUSER");
  d.Settle();
  EXPECT_EQ(d.PointerNow(), Pointer::IBeam);
  b.SetMousePointer(platform::vbHourglass);
  b.SetMousePointer(platform::vbHourglass);
  EXPECT_EQ(d.PointerNow(), Pointer::Hourglass);  // at once, without a move
  d.PointAt(u"FMPass", u"Label5");
  d.Settle();
  EXPECT_EQ(d.PointerNow(), Pointer::Hourglass);
  b.SetMousePointer(platform::vbDefault);  // once is enough
  EXPECT_EQ(d.PointerNow(), Pointer::Arrow);
  d.PointAt(u"FMPass", u"BUSER");
  d.Settle();
  EXPECT_EQ(d.PointerNow(), Pointer::IBeam);
  b.SetMousePointer(platform::vbDefault);
  EXPECT_EQ(d.PointerNow(), Pointer::IBeam);
}

REGISTER_TYPED_TEST_SUITE_P(Dialogs, MessageBoxesShowTheStyleAndReturnTheAnswer,
                            TheHourglassIsShownOverEveryWindowUntilItIsReset);

template <class Driver>
class Accessible : public BackendTest<Driver> {};

TYPED_TEST_SUITE_P(Accessible);

TYPED_TEST_P(Accessible, EveryControlHasAnAccessibleName) {
  const struct {
    FormDescription (*layout)() = nullptr;
    const char16_t* control = nullptr;
    const char16_t* name = nullptr;
  } cases[] = {
      {forms::FMPassLayout, u"BUSER", u"User(VAZ Personalcode):"},
      {forms::FMPassLayout, u"BPASSWORT", u"Passwort:"},
      {forms::FMPassLayout, u"BUSpeich", u"Anmelden"},
      {forms::FMServerLayout, u"BPORT", u"Port:"},
      {forms::FMServerLayout, u"BSERVERIP", u"ServerIP:"},
      {forms::FMServerLayout, u"BFIRMA", u"Firma:"},
      {forms::FMServerLayout, u"BFIL", u"Filiale:"},
      {forms::FMServerLayout, u"BNAMESPACE", u"Namespace:"},
      {forms::FMServerLayout, u"BUZurück", u"Zurück"},
      {forms::FMServerLayout, u"BUEdit", u"Ändern"},
      {forms::frmAboutLayout, u"cmdSysInfo", u"Systeminfo..."},
      {forms::frmAboutLayout, u"ctHyperLink1", u"MIRLOX Software-Service"},
      {forms::frmAboutLayout, u"ctHyperLink2", u"www.mirlox.example"},
  };
  auto& d = this->driver;
  for (auto layout : {forms::FMPassLayout, forms::FMServerLayout, forms::frmAboutLayout}) {
    const auto form = layout();
    this->Shown(form);
    for (const auto& c : form.controls) {
      // A label without text has nothing to say until the program gives it a text; lines are
      // decoration.
      if (c.kind == platform::ControlKind::Timer || c.kind == platform::ControlKind::Line ||
          (c.kind == platform::ControlKind::Label && c.text.empty()))
        continue;
      EXPECT_NE(d.AccessibleName(form.name, c.name), u"") << U8(form.name) << "." << U8(c.name);
    }
  }
  for (const auto& c : cases) {
    const auto form = c.layout();
    EXPECT_EQ(U8(d.AccessibleName(form.name, c.control)), U8(c.name))
        << U8(form.name) << "." << U8(c.control);
  }
}

REGISTER_TYPED_TEST_SUITE_P(Accessible, EveryControlHasAnAccessibleName);

}  // namespace quorel::testing::backend
