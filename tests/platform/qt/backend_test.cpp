// The Qt backend on its own, on real widgets: the suites every backend passes, with a user who
// presses, types and clicks with QTest (qt_driver.h), and what only Qt's widgets have.
#include <gtest/gtest.h>

#include <fstream>

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>

#include "qt_driver.h"
#include "support/temp_dir.h"
#include "tests/platform/desktop/backend_input_suites.h"
#include "tests/platform/desktop/backend_suites.h"

namespace quorel::testing {
namespace {

using namespace Qt::Literals::StringLiterals;

INSTANTIATE_TYPED_TEST_SUITE_P(QtBackend, Core, QtDriver);
INSTANTIATE_TYPED_TEST_SUITE_P(QtBackend, Windows, QtDriver);
INSTANTIATE_TYPED_TEST_SUITE_P(QtBackend, Input, QtDriver);
INSTANTIATE_TYPED_TEST_SUITE_P(QtBackend, Dialogs, QtDriver);
INSTANTIATE_TYPED_TEST_SUITE_P(QtBackend, Accessible, QtDriver);

// What only Qt's widgets have.
using QtBackendTest = BackendTest<QtDriver>;

TEST_F(QtBackendTest, CaptionsShowExactlyTheirText) {
  const WindowId id = Shown(forms::FMStartLayout());
  for (const char16_t* caption : {u"Benutzer: ABC | Meier [*] GmbH", u"[*]", u"[*][*]",
                                  u"a[*]b[*][*][*]c", u"[[*]]", u"[*", u"*]"}) {
    backend().SetCaption(id, caption);
    EXPECT_EQ(U8(driver.Caption(u"FMStart")), U8(caption));
  }
}

TEST_F(QtBackendTest, MenuBarFollowsTheMenuTable) {
  Shown(forms::FMStartLayout());
  auto* top = qobject_cast<QMainWindow*>(driver.Top(u"FMStart"));
  ASSERT_NE(top, nullptr);
  QStringList shape;
  for (QAction* menu : top->menuBar()->actions()) {
    shape << menu->text();
    for (QAction* item : menu->menu()->actions())
      shape << (item->isSeparator() ? QStringLiteral("  -")
                                    : "  " + item->text() + " " + item->shortcut().toString());
  }
  EXPECT_EQ(shape, QStringList({"&Datei", "  &Login ", "  -", "  &Beenden ", "&Hilfe",
                                "  Hilfe &über ... F1"}));
  // The client area lies below the menu bar.
  EXPECT_GE(backend().ClientArea(u"FMStart")->y(), top->menuBar()->height());
}

TEST_F(QtBackendTest, PasswordFieldWarnsOfCapsLock) {
  const WindowId pass = Shown(forms::FMPassLayout());
  backend().SetFocus(pass, u"BPASSWORT");
  QLineEdit* edit = qobject_cast<QLineEdit*>(driver.W(u"FMPass", u"BPASSWORT"));
  QTest::keyClicks(edit, QStringLiteral("gEh"), Qt::NoModifier);
  // "E" without Shift came from Caps Lock, "h" without Shift says it is off again.
  EXPECT_TRUE(edit->toolTip().isEmpty());
  QTest::keyClick(edit, Qt::Key_A, Qt::NoModifier);  // QTest sends "a": agrees with no Shift
  EXPECT_TRUE(edit->toolTip().isEmpty());
  QTest::keyClicks(edit, QStringLiteral("X"), Qt::NoModifier);
  EXPECT_EQ(edit->toolTip(), QStringLiteral("Feststelltaste ist aktiviert"));
  QTest::keyClicks(edit, QStringLiteral("y"), Qt::ShiftModifier);  // Shift gives lower case
  EXPECT_EQ(edit->toolTip(), QStringLiteral("Feststelltaste ist aktiviert"));
  QTest::keyClicks(edit, QStringLiteral("Y"), Qt::ShiftModifier);
  EXPECT_TRUE(edit->toolTip().isEmpty());
  // The user field never warns.
  QTest::keyClicks(driver.W(u"FMPass", u"BUSER"), QStringLiteral("X"));
  EXPECT_TRUE(driver.W(u"FMPass", u"BUSER")->toolTip().isEmpty());
}

TEST_F(QtBackendTest, LabelsAreAsPlainAsTheirTextAndLinksAndPicturesQtsOwn) {
  const WindowId about = Create(forms::frmAboutLayout());
  auto* link = qobject_cast<QLabel*>(driver.W(u"frmAbout", u"ctHyperLink1"));
  EXPECT_TRUE(link->text().contains(QStringLiteral("mailto:service@mirlox.example")));
  EXPECT_TRUE(link->openExternalLinks());
  backend().SetControlText(about, u"lblTitle", u"A & <b>B</b>");
  auto* title = qobject_cast<QLabel*>(driver.W(u"frmAbout", u"lblTitle"));
  EXPECT_EQ(title->accessibleName(), QStringLiteral("A & <b>B</b>"));
  EXPECT_EQ(title->textFormat(), Qt::PlainText);
  auto* banner = qobject_cast<QLabel*>(driver.W(u"frmAbout", u"Image1"));
  EXPECT_TRUE(banner->hasScaledContents());
  EXPECT_FALSE(banner->pixmap().isNull());
  EXPECT_FALSE(qobject_cast<QLabel*>(driver.W(u"frmAbout", u"picIcon"))->pixmap().isNull());
  // Buttons of the dialogs carry their small picture.
  Create(forms::FMPassLayout());
  EXPECT_FALSE(qobject_cast<QPushButton*>(driver.W(u"FMPass", u"BUServer"))->icon().isNull());
}

// A second run of this program on a small screen at twice the size (1280 x 800 pixels, 640 x
// 400 at that scale), from the offscreen platform's settings.
TEST(QtBackendScreen, OnASmallScreenAtTwiceTheSizeEveryWindowStillLiesOnIt) {
  const TempDir dir;
  const auto settings = dir / "screen.json";
  ASSERT_TRUE(std::ofstream(settings) << R"({"screens": [{"name": "small", "x": 0, "y": 0,
      "width": 1280, "height": 800, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(u"QT_QPA_PLATFORM"_s,
                     u"offscreen:configfile="_s + QString::fromStdString(settings.string()));
  environment.insert(u"QT_SCALE_FACTOR"_s, u"2"_s);
  QProcess run;
  run.setProcessEnvironment(environment);
  run.setProcessChannelMode(QProcess::MergedChannels);
  run.start(QCoreApplication::applicationFilePath(),
            {u"--gtest_filter=*Windows*.EveryWindowLies*"_s});
  ASSERT_TRUE(run.waitForFinished(60000));
  const std::string output = run.readAll().toStdString();
  EXPECT_EQ(run.exitCode(), 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
}

}  // namespace
}  // namespace quorel::testing
