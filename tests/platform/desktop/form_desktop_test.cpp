#include "platform/desktop/form_desktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/text.h"

namespace quorel::platform::desktop {
namespace {

using namespace std::chrono_literals;
using headless::ScriptDone;
using headless::ScriptError;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A dialog with everything FormDesktop gives a form a behaviour for.
FormDescription Dialog(const std::u16string& name, CloseBoxAction closeBox) {
  using enum ControlKind;
  FormDescription f;
  f.name = name;
  f.caption = u"Dialog " + name;
  f.closeBox = closeBox;
  f.menus = {{.name = u"Hilfe", .caption = u"&Hilfe", .parent = u"", .shortcut = u"F1"}};
  // clang-format off
  f.controls = {
    {.kind = TextBox,       .name = u"T",     .text = u"Vorgabe",   .tabIndex = 0, .maxLength = 5},
    {.kind = CommandButton, .name = u"OK",    .text = u"OK",        .tabIndex = 1, .isDefault = true},
    {.kind = CommandButton, .name = u"Abbr",  .text = u"Abbrechen", .tabIndex = 2, .isCancel = true},
    {.kind = PushButton,    .name = u"Umsch", .text = u"Ändern",    .tabIndex = 3, .twoState = true, .initialValue = true},
    {.kind = Timer,         .name = u"Takt",  .enabled = false, .interval = 1000},
  };
  // clang-format on
  return f;
}

// Handlers that note what ran ("load A", "click A.OK"); a test attaches an action to a note.
class Recorder final : public FormHandlers {
 public:
  Recorder(std::string form, std::vector<std::string>& record)
      : form_(std::move(form)), record_(record) {}

  std::map<std::string, std::function<void()>> on;

  void Load() override { Note("load"); }
  void Unload() override { Note("unload"); }
  void Activate() override { Note("activate"); }
  void Click(std::u16string_view control) override { Note("click", control); }
  void LostFocus(std::u16string_view control) override { Note("lostfocus", control); }
  void Timer(std::u16string_view timer) override { Note("timer", timer); }
  void Menu(std::u16string_view item) override { Note("menu", item); }

 private:
  void Note(const std::string& kind, std::u16string_view part = {}) {
    std::string note = kind + " " + form_;
    if (!part.empty()) note += "." + text::ToUtf8(part);
    record_.push_back(note);
    if (auto it = on.find(note); it != on.end()) it->second();
  }

  std::string form_;
  std::vector<std::string>& record_;
};

// Two forms on the in-memory desktop: A unloads by its close box, B hides.
struct World {
  World() {
    desktop.Register(Dialog(u"A", CloseBoxAction::Unload), handlersA);
    desktop.Register(Dialog(u"B", CloseBoxAction::Hide), handlersB);
  }

  // The notes of the given kinds ("click", "timer", ...), in order.
  std::vector<std::string> Notes(std::initializer_list<std::string_view> kinds) const {
    std::vector<std::string> out;
    for (const auto& note : record)
      for (auto kind : kinds)
        if (note.substr(0, note.find(' ')) == kind) out.push_back(note);
    return out;
  }

  // Runs the main loop through the whole script.
  void RunScript() {
    try {
      desktop.Run();
    } catch (const ScriptDone&) {
    } catch (const ScriptError& e) {
      ADD_FAILURE() << "script: " << e.message;
    }
  }

  headless::EventLog log;
  headless::VirtualClock clock;
  headless::HeadlessBackend screen{clock, log};
  FormDesktop desktop{screen, u"Testprogramm"};
  std::vector<std::string> record;
  Recorder handlersA{"A", record}, handlersB{"B", record};
  Form A{desktop, u"A"}, B{desktop, u"B"};
};

TEST(FormDesktop, FirstTouchCreatesTheFormHiddenWithItsDesignTextsAndLoadsItOnce) {
  const std::pair<const char*, std::function<void(Form&)>> touches[] = {
      {"Load", [](Form& f) { f.Load(); }},
      {"Text", [](Form& f) { f.Text(u"OK"); }},
      {"SetText", [](Form& f) { f.SetText(u"OK", u"Los"); }},
      {"Caption", [](Form& f) { f.Caption(); }},
      {"Enabled", [](Form& f) { f.Enabled(u"OK"); }},
      {"Value", [](Form& f) { f.Value(u"Umsch"); }},
      {"TimerEnabled", [](Form& f) { f.TimerEnabled(u"Takt"); }},
      {"Hide", [](Form& f) { f.Hide(); }},
  };
  for (const auto& [what, touch] : touches) {
    SCOPED_TRACE(what);
    World w;
    EXPECT_FALSE(w.A.Exists());
    EXPECT_FALSE(w.A.Visible());
    EXPECT_FALSE(w.screen.HasWindow(u"A"));
    EXPECT_THAT(w.record, IsEmpty());

    touch(w.A);
    touch(w.A);
    EXPECT_THAT(w.record, ElementsAre("load A"));
    EXPECT_TRUE(w.A.Exists());
    EXPECT_FALSE(w.A.Visible());
    EXPECT_FALSE(w.screen.IsVisible(u"A"));
    EXPECT_EQ(w.screen.CaptionOf(u"A"), u"Dialog A");
    EXPECT_EQ(w.screen.TextOf(u"A", u"T"), u"Vorgabe");
    EXPECT_EQ(w.A.Text(u"Abbr"), u"Abbrechen");
    EXPECT_TRUE(w.A.Value(u"Umsch"));
    EXPECT_FALSE(w.screen.HasWindow(u"B"));
  }
}

TEST(FormDesktop, HideKeepsTheFormAndUnloadStartsItAfresh) {
  World w;
  std::u16string textInUnload;
  w.handlersA.on["unload A"] = [&] { textInUnload = w.A.Text(u"T"); };
  w.A.Show();
  w.A.SetText(u"T", u"neu");
  w.A.SetCaption(u"Anders");
  w.A.SetValue(u"Umsch", false);
  w.A.Hide();
  EXPECT_TRUE(w.A.Exists());
  EXPECT_FALSE(w.A.Visible());
  EXPECT_FALSE(w.screen.IsVisible(u"A"));
  EXPECT_EQ(w.A.Text(u"T"), u"neu");
  EXPECT_EQ(w.A.Caption(), u"Anders");
  EXPECT_FALSE(w.A.Value(u"Umsch"));

  w.A.Unload();
  EXPECT_EQ(textInUnload, u"neu");  // the handler still sees the form
  EXPECT_FALSE(w.A.Exists());
  EXPECT_FALSE(w.screen.HasWindow(u"A"));
  w.B.Unload();  // never loaded: nothing to unload
  EXPECT_FALSE(w.B.Exists());

  EXPECT_EQ(w.A.Text(u"T"), u"Vorgabe");
  EXPECT_EQ(w.A.Caption(), u"Dialog A");
  EXPECT_TRUE(w.A.Value(u"Umsch"));
  EXPECT_FALSE(w.A.Visible());
  EXPECT_THAT(w.Notes({"load", "unload"}), ElementsAre("load A", "unload A", "load A"));
}

TEST(FormDesktop, ModalShowReturnsOnceTheFormIsHiddenOrUnloadedWhileEventsGoOn) {
  struct Case {
    const char* what;
    std::u16string form;
    std::function<void(Form&)> onOK;  // empty: the user uses the close box
    bool exists, visible, unloaded;   // afterwards
  };
  const Case cases[] = {
      {"handler hides", u"A", [](Form& f) { f.Hide(); }, true, false, false},
      {"handler unloads", u"A", [](Form& f) { f.Unload(); }, false, false, true},
      // The wait belongs to the unloaded window, not to the new one shown under the same name.
      {"handler unloads and shows it afresh", u"A",
       [](Form& f) {
         f.Unload();
         f.Show();
       },
       true, true, true},
      {"close box unloads by default", u"A", nullptr, false, false, true},
      {"close box hides when the form says so", u"B", nullptr, true, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    World w;
    Form form(w.desktop, c.form);
    const std::string name = text::ToUtf8(c.form);
    form.SetTimerEnabled(u"Takt", true);
    w.screen.Wait(1500ms);
    w.screen.Check("the timer ticks during the modal wait", [&] {
      EXPECT_THAT(w.Notes({"timer"}), ElementsAre("timer " + name + ".Takt"));
      EXPECT_TRUE(w.screen.IsModal(c.form));
    });
    if (c.onOK) {
      (c.form == u"A" ? w.handlersA : w.handlersB).on["click " + name + ".OK"] = [&] {
        c.onOK(form);
      };
      w.screen.Click(c.form, u"OK");
    } else {
      w.screen.CloseBox(c.form);
    }
    form.Show(ShowMode::Modal);
    EXPECT_TRUE(w.screen.ScriptEmpty());
    EXPECT_EQ(form.Exists(), c.exists);
    EXPECT_EQ(form.Visible(), c.visible);
    EXPECT_EQ(w.Notes({"unload"}).size(), c.unloaded ? 1u : 0u);
  }
}

TEST(FormDesktop, ShowingAShownFormOnlyRaisesItAndShowingItModallyIsAnError) {
  World w;
  w.A.Show();
  w.B.Show();
  EXPECT_EQ(w.screen.ActiveForm(), u"B");
  w.A.Show();
  EXPECT_EQ(w.screen.ActiveForm(), u"A");
  EXPECT_EQ(w.log.Starting("show A").size(), 1u);
  EXPECT_EQ(w.log.Starting("raise A").size(), 1u);

  EXPECT_THROW(w.A.Show(ShowMode::Modal), std::logic_error);
  EXPECT_TRUE(w.A.Visible());
  EXPECT_FALSE(w.screen.IsModal(u"A"));
  EXPECT_THAT(w.Notes({"load"}), ElementsAre("load A", "load B"));
}

TEST(FormDesktop, KeysPressTheDefaultTheCancelOrTheFocusedButton) {
  using Press = void (headless::HeadlessBackend::*)(std::u16string_view);
  constexpr Press kEnter = &headless::HeadlessBackend::PressEnter;
  constexpr Press kEscape = &headless::HeadlessBackend::PressEscape;
  constexpr Press kF1 = &headless::HeadlessBackend::PressF1;
  struct Case {
    const char* what;
    std::u16string focus, disabled;  // empty: the focus stays on T, nothing disabled
    Press key;
    std::vector<std::string> pressed;
  };
  const Case cases[] = {
      {"Enter in the text box", u"", u"", kEnter, {"click A.OK"}},
      {"Enter on a push button", u"Umsch", u"", kEnter, {"click A.Umsch"}},
      {"Enter on the cancel button", u"Abbr", u"", kEnter, {"click A.Abbr"}},
      {"Escape on the default button", u"OK", u"", kEscape, {"click A.Abbr"}},
      {"F1 chooses its menu item", u"", u"", kF1, {"menu A.Hilfe"}},
      {"Enter with the default button disabled", u"", u"OK", kEnter, {}},
      {"Escape with the cancel button disabled", u"", u"Abbr", kEscape, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    World w;
    w.A.Show();
    if (!c.disabled.empty()) w.A.SetEnabled(c.disabled, false);
    if (!c.focus.empty()) w.screen.Focus(u"A", c.focus);
    (w.screen.*c.key)(u"A");
    w.RunScript();
    EXPECT_EQ(w.Notes({"click", "menu"}), c.pressed);
  }
}

TEST(FormDesktop, TwoStateButtonFlipsBeforeItsClickHandlerRuns) {
  World w;
  std::vector<bool> seen;
  w.handlersA.on["click A.Umsch"] = [&] { seen.push_back(w.A.Value(u"Umsch")); };
  w.A.Show();
  w.screen.Click(u"A", u"Umsch");
  w.screen.Click(u"A", u"Umsch");
  w.screen.PressEnter(u"A");  // the focus is on the button now
  w.screen.Click(u"A", u"OK");
  w.RunScript();
  EXPECT_EQ(seen, (std::vector<bool>{false, true, false}));
  EXPECT_FALSE(w.A.Value(u"Umsch"));
  EXPECT_FALSE(w.A.Value(u"OK"));  // an ordinary button has no value to flip
}

TEST(FormDesktop, TimerEnabledAtDesignTimeRunsFromCreation) {
  World w;
  FormDescription clock;
  clock.name = u"C";
  clock.controls = {{.kind = ControlKind::Timer, .name = u"Uhr", .interval = 250}};
  Recorder handlers{"C", w.record};
  w.desktop.Register(clock, handlers);
  w.desktop.Load(u"C");  // hidden: timers tick all the same
  EXPECT_TRUE(w.desktop.TimerEnabled(u"C", u"Uhr"));
  w.desktop.DoEvents(std::chrono::milliseconds(1000));
  EXPECT_EQ(w.Notes({"timer"}).size(), 4u);
}

TEST(FormDesktop, TimersTickWhileEnabledAndEnablingStartsANewInterval) {
  World w;
  auto ticks = [&] { return w.Notes({"timer"}).size(); };
  w.A.Show();
  EXPECT_FALSE(w.A.TimerEnabled(u"Takt"));
  w.A.SetTimerEnabled(u"Takt", true);
  w.screen.Wait(600ms);
  w.screen.Check("enabled again while on", [&] { w.A.SetTimerEnabled(u"Takt", true); });
  w.screen.Wait(999ms);
  w.screen.Check("the interval began anew", [&] { EXPECT_EQ(ticks(), 0u); });
  w.screen.Wait(1ms);
  w.screen.Check("first tick", [&] { EXPECT_EQ(ticks(), 1u); });
  w.screen.Wait(3000ms);
  w.screen.Check("ticks repeat; then disabled", [&] {
    EXPECT_EQ(ticks(), 4u);
    w.A.SetTimerEnabled(u"Takt", false);
    EXPECT_FALSE(w.A.TimerEnabled(u"Takt"));
  });
  w.screen.Wait(5000ms);
  w.screen.Check("no tick while disabled; enabled and unloaded", [&] {
    EXPECT_EQ(ticks(), 4u);
    w.A.SetTimerEnabled(u"Takt", true);
    w.A.Unload();
  });
  w.screen.Wait(5000ms);
  w.RunScript();
  EXPECT_EQ(ticks(), 4u);
  EXPECT_FALSE(w.screen.TimerRunning(u"A", u"Takt"));
  EXPECT_FALSE(w.A.TimerEnabled(u"Takt"));  // loaded afresh
}

TEST(FormDesktop, EndDestroysEveryWindowWithoutHandlersAndNothingRunsAfterIt) {
  World w;
  w.A.Show();
  w.A.SetTimerEnabled(u"Takt", true);
  w.handlersB.on["click B.OK"] = [&] {
    w.B.SetFocus(u"T");  // the button's lost focus is now pending
    w.desktop.End(3);
  };
  w.screen.Click(u"B", u"OK");  // moves the focus from T first
  w.screen.Wait(5000ms);
  int status = -1;
  try {
    w.B.Show(ShowMode::Modal);
  } catch (const ProgramEnd& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 3);
  EXPECT_FALSE(w.A.Exists());
  EXPECT_FALSE(w.B.Exists());
  EXPECT_FALSE(w.screen.HasWindow(u"A"));
  EXPECT_FALSE(w.screen.HasWindow(u"B"));

  EXPECT_THROW(w.A.Load(), ProgramEnd);
  w.RunScript();  // the rest of the script: five seconds in which A's timer would tick
  EXPECT_THAT(w.Notes({"load", "unload", "lostfocus", "timer"}),
              ElementsAre("load A", "load B", "lostfocus B.T"));
}

TEST(FormDesktop, HandlerErrorInAModalWaitComesOutOfShowAndNoOtherHandlerRuns) {
  World w;
  w.handlersB.on["click B.OK"] = [&] {
    w.B.SetFocus(u"T");  // the button's lost focus is now pending
    throw std::runtime_error("kaputt");
  };
  w.screen.Click(u"B", u"OK");
  try {
    w.B.Show(ShowMode::Modal);
    ADD_FAILURE() << "Show returned";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "kaputt");
  }
  EXPECT_THAT(w.Notes({"lostfocus", "click"}), ElementsAre("lostfocus B.T", "click B.OK"));
  // Once the error is out, events reach the handlers again.
  w.screen.Click(u"B", u"Abbr");
  w.RunScript();
  EXPECT_THAT(w.Notes({"click"}), ElementsAre("click B.OK", "click B.Abbr"));

  // The same for a timer: the ticks after the failing one reach no handler.
  World t;
  t.handlersA.on["timer A.Takt"] = [] { throw std::runtime_error("Zeitgeber"); };
  t.A.SetTimerEnabled(u"Takt", true);
  t.screen.Wait(3500ms);
  EXPECT_THROW(t.A.Show(ShowMode::Modal), std::runtime_error);
  EXPECT_EQ(t.Notes({"timer"}).size(), 1u);
}

TEST(FormDesktop, ScriptedUserActsOnlyWhereAPersonCouldAndWaitsFailWhenTheScriptIsDone) {
  {
    World w;
    EXPECT_THROW(w.A.Show(ShowMode::Modal), ScriptError);
    EXPECT_THROW(w.desktop.Run(), ScriptDone);
  }
  {
    World w;
    w.A.Show();
    w.screen.Click(u"A", u"OK");
    EXPECT_THROW(w.B.Show(ShowMode::Modal), ScriptError);  // A is behind the modal B
    EXPECT_THAT(w.Notes({"click"}), IsEmpty());
  }
  {
    World w;
    w.A.Show();
    w.A.SetEnabled(u"T", false);
    w.screen.Type(u"A", u"T", u"x");
    EXPECT_THROW(w.desktop.Run(), ScriptError);
    EXPECT_EQ(w.A.Text(u"T"), u"Vorgabe");
  }
  {
    World w;
    w.A.Show();
    w.screen.Type(u"A", u"T", u"abcdefgh");
    w.screen.Check("cut at the maximum length", [&] { EXPECT_EQ(w.A.Text(u"T"), u"abcde"); });
    w.screen.Type(u"A", u"T", u"xy");
    w.RunScript();
    EXPECT_EQ(w.A.Text(u"T"), u"xy");
  }
}

TEST(FormDesktop, MessageBoxReturnsTheAnswerUnderTheApplicationTitleByDefault) {
  struct Case {
    std::u16string title;
    int style, answer;
    std::string logged;
  };
  const Case cases[] = {
      {u"", vbYesNo, vbNo, "msgbox style=4 title=Testprogramm: Weiter?"},
      {u"", vbYesNo | vbExclamation, vbYes, "msgbox style=52 title=Testprogramm: Weiter?"},
      {u"Eigener Titel", vbOKOnly, vbOK, "msgbox style=0 title=Eigener Titel: Weiter?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logged);
    World w;
    w.screen.Answer(c.answer);
    EXPECT_EQ(w.desktop.MsgBox(u"Weiter?", c.style, c.title), c.answer);
    EXPECT_THAT(w.log.Starting("msgbox"), ElementsAre(c.logged));
  }
}

TEST(FormDesktop, FocusNeedsAShownFormAndActivationFollowsTheFrontWindow) {
  World w;
  EXPECT_THROW(w.A.SetFocus(u"OK"), std::logic_error);  // loads the form, hidden
  EXPECT_TRUE(w.A.Exists());
  w.A.Show();
  w.A.SetEnabled(u"Abbr", false);
  EXPECT_THROW(w.A.SetFocus(u"Abbr"), std::logic_error);
  w.A.SetFocus(u"OK");
  EXPECT_EQ(w.screen.FocusOf(u"A"), u"OK");
  w.A.Hide();
  EXPECT_THROW(w.A.SetFocus(u"T"), std::logic_error);

  World v;
  auto activations = [&] {
    v.desktop.DoEvents(0ms);
    return v.Notes({"activate"});
  };
  v.A.Show();
  EXPECT_THAT(activations(), ElementsAre("activate A"));
  v.B.Show();
  EXPECT_THAT(activations(), ElementsAre("activate A", "activate B"));
  v.B.Hide();
  EXPECT_THAT(activations(), ElementsAre("activate A", "activate B", "activate A"));
  // B is gone before its activation is delivered: that reaches no handler.
  v.B.Show();
  v.B.Unload();
  EXPECT_THAT(activations(), ElementsAre("activate A", "activate B", "activate A", "activate A"));
}

}  // namespace
}  // namespace quorel::platform::desktop
