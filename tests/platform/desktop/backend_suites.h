// The tests every desktop backend must pass, on the real layouts of the forms. Each backend's
// test program instantiates them with its Driver (backend_fixture.h):
//   Core      what every backend does, the in-memory desktop included: close box, activation,
//             the focus of each window, timers, waiting for events;
//   Windows   real windows: sizes, frames, captions, placement, owners, modality.
// backend_input_suites.h has the suites of the keyboard, the mouse and the message boxes.
// Include in one source file per test program.
#pragma once

#include <climits>
#include <cstdlib>

#include "forms/FMPass.h"
#include "forms/FMServer.h"
#include "forms/FMStart.h"
#include "forms/frmAbout.h"
#include "tests/platform/desktop/backend_fixture.h"

namespace quorel::testing::backend {

template <class Driver>
class Core : public BackendTest<Driver> {};

TYPED_TEST_SUITE_P(Core);

TYPED_TEST_P(Core, CloseBoxIsReportedAndTheWindowStays) {
  this->Shown(forms::FMServerLayout());
  this->Take();
  this->driver.CloseBox(u"FMServer");
  EXPECT_EQ(this->Take(1), Lines{"close FMServer"});
  EXPECT_TRUE(this->driver.IsVisible(u"FMServer"));
}

TYPED_TEST_P(Core, ActivationIsReportedOnShowAndWhenTheWindowInFrontGoes) {
  auto& b = this->backend();
  const WindowId pass = this->Shown(forms::FMPassLayout(), kNoWindow, true);
  EXPECT_EQ(Collapsed(this->Take(1)), Lines{"activated FMPass"});
  const WindowId server = this->Shown(forms::FMServerLayout(), pass, true);
  EXPECT_EQ(Collapsed(this->Take(1)), Lines{"activated FMServer"});
  b.HideWindow(server);
  EXPECT_TRUE(this->Active(u"FMPass"));
  EXPECT_EQ(Collapsed(this->Take(1)), Lines{"activated FMPass"});
}

TYPED_TEST_P(Core, EachWindowKeepsItsFocusAndMovingItWhileInactiveCounts) {
  auto& b = this->backend();
  const WindowId pass = this->Shown(forms::FMPassLayout());
  EXPECT_EQ(b.FocusedControl(pass), u"BUSER");  // the first in tab order
  this->Take();
  // Another window in front: FMPass keeps its focus, and nothing lost it.
  const WindowId server = this->Shown(forms::FMServerLayout(), pass, true);
  EXPECT_EQ(b.FocusedControl(pass), u"BUSER");
  b.SetFocus(pass, u"BPASSWORT");
  EXPECT_EQ(b.FocusedControl(pass), u"BPASSWORT");
  EXPECT_EQ(Collapsed(this->Take(2)), (Lines{"activated FMServer", "focus lost FMPass.BUSER"}));
  b.HideWindow(server);
  EXPECT_TRUE(this->Active(u"FMPass"));
  EXPECT_EQ(Collapsed(this->Take(1)), Lines{"activated FMPass"});
  EXPECT_TRUE(this->driver.HasKeyboardFocus(u"FMPass", u"BPASSWORT"));
}

TYPED_TEST_P(Core, TimersRepeatRestartAndStop) {
  auto& b = this->backend();
  auto& d = this->driver;
  const WindowId server = this->Create(forms::FMServerLayout());
  b.StartTimer(server, u"Lock", 40);
  std::int64_t start = d.NowMs();
  int ticks = 0;
  while (d.NowMs() - start < 230) {
    b.ProcessEvents(10ms);
    for (const auto& l : this->events.Take())
      ticks += l == "timer FMServer.Lock";
  }
  EXPECT_GE(ticks, 3);
  EXPECT_LE(ticks, 6);
  // Restarting begins a new interval: restarted every 10 ms, a 60 ms timer never fires.
  start = d.NowMs();
  while (d.NowMs() - start < 200) {
    b.StartTimer(server, u"Lock", 60);
    b.ProcessEvents(10ms);
  }
  b.StopTimer(server, u"Lock");
  EXPECT_EQ(this->Take(), Lines{});
  // A handler may stop the timer whose tick it runs in (the idle timer does).
  this->events.onTimer = [&] { b.StopTimer(server, u"Lock"); };
  b.StartTimer(server, u"Lock", 20);
  this->Idle(150);
  EXPECT_EQ(this->Take(), Lines{"timer FMServer.Lock"});
  this->Idle(120);
  EXPECT_EQ(this->Take(), Lines{});
}

TYPED_TEST_P(Core, ProcessEventsWaitsAtMostMaxWait) {
  auto& b = this->backend();
  b.ProcessEvents(0ms);
  const std::int64_t start = this->driver.NowMs();
  b.ProcessEvents(100ms);
  const std::int64_t idle = this->driver.NowMs() - start;
  EXPECT_GE(idle, 90);
  EXPECT_LT(idle, 400);
}

REGISTER_TYPED_TEST_SUITE_P(Core, CloseBoxIsReportedAndTheWindowStays,
                            ActivationIsReportedOnShowAndWhenTheWindowInFrontGoes,
                            EachWindowKeepsItsFocusAndMovingItWhileInactiveCounts,
                            TimersRepeatRestartAndStop, ProcessEventsWaitsAtMostMaxWait);

template <class Driver>
class Windows : public BackendTest<Driver> {};

TYPED_TEST_SUITE_P(Windows);

TYPED_TEST_P(Windows, DialogsAreCentredOverTheirOwnerOrTheScreen) {
  auto& b = this->backend();
  auto& d = this->driver;
  const WindowId start = this->Shown(forms::FMStartLayout());
  d.Move(u"FMStart", 40, 30);
  this->Until([&] { return d.Frame(u"FMStart").left == 40; }, 1000);
  const WindowId pass = this->Shown(forms::FMPassLayout(), start);
  EXPECT_EQ(d.OwnerOf(u"FMPass"), u"FMStart");
  EXPECT_LE(d.Frame(u"FMPass").CentreDistance(d.Frame(u"FMStart")), 6);
  b.HideWindow(pass);
  // Shown again without owner: centred on the screen.
  b.ShowWindow(pass, kNoWindow, true);
  EXPECT_TRUE(this->Active(u"FMPass"));
  EXPECT_EQ(d.OwnerOf(u"FMPass"), u"");
  EXPECT_LE(d.Frame(u"FMPass").CentreDistance(d.WorkArea(u"FMPass")), 6);
}

TYPED_TEST_P(Windows, ModalWindowsBlockTheOthers) {
  auto& b = this->backend();
  auto& d = this->driver;
  const WindowId start = this->Shown(forms::FMStartLayout());
  const WindowId pass = this->Shown(forms::FMPassLayout(), start, true);
  EXPECT_TRUE(d.IsBlocked(u"FMStart"));
  EXPECT_FALSE(d.IsBlocked(u"FMPass"));
  const WindowId server = this->Shown(forms::FMServerLayout(), pass, true);
  EXPECT_EQ(d.OwnerOf(u"FMServer"), u"FMPass");
  EXPECT_TRUE(d.IsBlocked(u"FMStart") && d.IsBlocked(u"FMPass"));
  EXPECT_FALSE(d.IsBlocked(u"FMServer"));
  b.HideWindow(server);
  EXPECT_TRUE(this->Active(u"FMPass"));
  EXPECT_TRUE(d.IsBlocked(u"FMStart"));
  EXPECT_FALSE(d.IsBlocked(u"FMPass"));
  b.HideWindow(pass);
  EXPECT_FALSE(d.IsBlocked(u"FMStart"));
  // Shown again modeless: no longer modal.
  b.ShowWindow(pass, start, false);
  EXPECT_TRUE(this->Active(u"FMPass"));
  EXPECT_FALSE(d.IsBlocked(u"FMStart"));
}

TYPED_TEST_P(Windows, AWindowWithoutAControlToFocusTakesTheFocusItself) {
  this->Shown(forms::FMStartLayout());
  EXPECT_EQ(this->Take(2), (Lines{"activated FMStart", "form focused FMStart"}));
}

TYPED_TEST_P(Windows, AnOwnerMayGoBeforeTheWindowsItOwns) {
  auto& b = this->backend();
  auto& d = this->driver;
  const WindowId start = this->Shown(forms::FMStartLayout());
  const WindowId pass = this->Shown(forms::FMPassLayout(), start);
  b.DestroyWindow(start);
  EXPECT_FALSE(d.IsVisible(u"FMStart"));
  d.Settle();
  EXPECT_FALSE(d.HasWindow(u"FMStart"));
  EXPECT_TRUE(d.IsVisible(u"FMPass"));
  EXPECT_EQ(d.OwnerOf(u"FMPass"), u"");
  b.SetControlText(pass, u"BUSER", u"NOCH DA");
  EXPECT_EQ(b.ControlText(pass, u"BUSER"), u"NOCH DA");
  b.DestroyWindow(pass);
  d.Settle();
  EXPECT_FALSE(d.HasWindow(u"FMPass"));
}

TYPED_TEST_P(Windows, LabelsLinksAndPicturesKeepTheirTextsAndPlaces) {
  auto& b = this->backend();
  auto& d = this->driver;
  const WindowId about = this->Shown(forms::frmAboutLayout());
  EXPECT_EQ(b.ControlText(about, u"ctHyperLink1"), u"MIRLOX Software-Service");
  b.SetControlText(about, u"lblTitle", u"A & <b>B</b>");
  EXPECT_EQ(b.ControlText(about, u"lblTitle"), u"A & <b>B</b>");
  const Rect banner = d.ControlBox(u"frmAbout", u"Image1");
  EXPECT_EQ(std::pair(banner.width, banner.height),
            std::pair(d.Scaled(3255 / 15), d.Scaled(795 / 15)));
}

// Every form has its caption and frame. The sizes and places of the tables hold where the window
// fits on the screen; where it does not, it is placed (and a sizable one sized) to lie on it. The
// backends' own tests run this again on a small screen at twice the size.
TYPED_TEST_P(Windows, EveryWindowLiesOnTheScreenWithItsCaptionFrameAndTableWhereItFits) {
  auto& d = this->driver;
  const struct {
    FormDescription (*layout)() = nullptr;
    const char16_t* caption = nullptr;
    Look look;  // resizable, maximize box, close box, in the task bar without owner, own icon
  } cases[] = {
      {forms::FMStartLayout, u"MIRLOX", {true, true, true, true, false}},
      {forms::FMPassLayout, u"MIRLOX Benutzeranmeldung", {false, false, true, false, true}},
      // It can be minimised: without owner it needs a task-bar entry to be found again.
      {forms::FMServerLayout, u"MIRLOX Server", {true, true, true, true, true}},
      {forms::frmAboutLayout, u"Info zu meiner Anwendung", {false, false, true, false, false}},
  };
  for (const auto& c : cases) {
    const FormDescription form = c.layout();
    SCOPED_TRACE(U8(form.name));
    const WindowId id = this->Shown(form);
    EXPECT_EQ(d.Caption(form.name), c.caption);
    EXPECT_EQ(d.LookOf(form.name), c.look);
    this->Idle(100);  // a window manager may frame it only now
    const Rect area = d.WorkArea(form.name), frame = d.Frame(form.name);
    const Rect client = d.Client(form.name);
    EXPECT_TRUE(frame.left >= area.left && frame.top >= area.top &&
                frame.left + frame.width <= area.left + area.width &&
                frame.top + frame.height <= area.top + area.height);
    // Per axis: the length of the table where its frame fits the screen, else the screen's.
    const bool sizable = form.frame == platform::FrameKind::Sizable;
    const auto length = [&](int twips, int around, int room) {
      const int px = d.Scaled(twips / platform::kTwipsPerPixel);
      return px + around <= room || !sizable ? px : room - around;
    };
    EXPECT_EQ(client.width, length(form.clientWidth, frame.width - client.width, area.width));
    EXPECT_EQ(client.height, length(form.clientHeight, frame.height - client.height, area.height));
    if (form.position == platform::StartPosition::Manual) {
      // Where the frame fits at the table's place it stays there, else it meets the far edge.
      const auto place = [&](int twips, int before, int extent, int start, int room) {
        const int px = d.Scaled(twips / platform::kTwipsPerPixel);
        return px - before + extent <= start + room ? px : start + room - extent + before;
      };
      EXPECT_EQ(client.left,
                place(form.left, client.left - frame.left, frame.width, area.left, area.width));
      EXPECT_EQ(client.top,
                place(form.top, client.top - frame.top, frame.height, area.top, area.height));
    }
    this->backend().SetCaption(id, u"A & B [*] äöü");
    EXPECT_EQ(d.Caption(form.name), u"A & B [*] äöü");
    this->backend().DestroyWindow(id);
  }
}

// A modal window is the only one that takes input: minimised, it comes back at once. A
// modeless one stays minimised until the program shows it again.
TYPED_TEST_P(Windows, AMinimisedModalWindowComesBackAndAModelessOneWhenShownAgain) {
  auto& b = this->backend();
  auto& d = this->driver;
  // Behind it, for the activation to go to when it is hidden (Qt's offscreen platform does not
  // activate a window that was the last active one again).
  this->Shown(forms::FMStartLayout());
  for (const bool modal : {true, false}) {
    SCOPED_TRACE(modal ? "modal" : "modeless");
    const WindowId server = this->Shown(forms::FMServerLayout(), kNoWindow, modal);
    d.Minimize(u"FMServer");
    this->Idle(300);
    EXPECT_EQ(d.IsMinimized(u"FMServer"), !modal);
    EXPECT_TRUE(d.IsVisible(u"FMServer"));
    b.HideWindow(server);
    b.ShowWindow(server, kNoWindow, modal);
    EXPECT_TRUE(this->Active(u"FMServer"));
    EXPECT_FALSE(d.IsMinimized(u"FMServer"));
    b.DestroyWindow(server);
  }
}

// Brought forward, a window is the active one, also as the window system shows it.
TYPED_TEST_P(Windows, RaisingAWindowMakesItTheActiveOne) {
  auto& d = this->driver;
  const WindowId start = this->Shown(forms::FMStartLayout());
  const WindowId pass = this->Shown(forms::FMPassLayout(), start);
  d.Activate(u"FMStart");
  ASSERT_TRUE(this->Until([&] { return d.IsActive(u"FMStart") && d.TitleBarActive(u"FMStart"); }));
  this->backend().RaiseWindow(pass);
  EXPECT_TRUE(this->Until([&] { return d.IsActive(u"FMPass") && d.TitleBarActive(u"FMPass"); }));
}

// A link's underline runs under its text and no further.
TYPED_TEST_P(Windows, LinksAreUnderlinedJustUnderTheirText) {
  this->Shown(forms::frmAboutLayout());
  for (const char16_t* link : {u"ctHyperLink1", u"ctHyperLink2"}) {
    SCOPED_TRACE(U8(link));
    const Shot shot = this->driver.Grab(u"frmAbout", link);
    const std::uint32_t ground = shot.At(shot.width - 1, 0);
    // The underline is the row with the most ink, the text the ink of all the others.
    struct Ink {
      int left = INT_MAX, right = -1, count = 0;
    };
    std::vector<Ink> rows(static_cast<std::size_t>(shot.height));
    for (int y = 0; y < shot.height; ++y) {
      for (int x = 0; x < shot.width; ++x) {
        if (shot.At(x, y) == ground) continue;
        Ink& row = rows[static_cast<std::size_t>(y)];
        row = {std::min(row.left, x), std::max(row.right, x), row.count + 1};
      }
    }
    const auto line = std::max_element(
        rows.begin(), rows.end(), [](const Ink& a, const Ink& b) { return a.count < b.count; });
    Ink text;
    for (auto row = rows.begin(); row != rows.end(); ++row)
      if (row != line && row->count > 0)
        text = {std::min(text.left, row->left), std::max(text.right, row->right), 1};
    ASSERT_GT(text.count, 0);
    EXPECT_LE(std::abs(line->left - text.left), 1);
    EXPECT_LE(std::abs(line->right - text.right), 2);
  }
}

REGISTER_TYPED_TEST_SUITE_P(Windows, DialogsAreCentredOverTheirOwnerOrTheScreen,
                            ModalWindowsBlockTheOthers,
                            AWindowWithoutAControlToFocusTakesTheFocusItself,
                            AnOwnerMayGoBeforeTheWindowsItOwns,
                            LabelsLinksAndPicturesKeepTheirTextsAndPlaces,
                            EveryWindowLiesOnTheScreenWithItsCaptionFrameAndTableWhereItFits,
                            AMinimisedModalWindowComesBackAndAModelessOneWhenShownAgain,
                            RaisingAWindowMakesItTheActiveOne,
                            LinksAreUnderlinedJustUnderTheirText);

}  // namespace quorel::testing::backend
