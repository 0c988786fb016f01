// Renders the four windows of the program, as the user meets them, to PNG files:
//   quorel_screenshots DIRECTORY
// writes FMPass.png, FMServer.png, FMStart.png and frmAbout.png there. The program runs with its
// real forms on the real Qt backend (offscreen unless QT_QPA_PLATFORM says otherwise); only
// the settings and the server are stand-ins.
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <cstdio>

#include "app/program.h"
#include "gui_user.h"
#include "platform/desktop/form_desktop.h"
#include "platform/headless/diagnostics_log.h"
#include "platform/headless/memory_store.h"
#include "platform/headless/scripted_server.h"
#include "platform/posix/local_clock.h"
#include "platform/posix/posix_system.h"
#include "platform/qt/qt_backend.h"

namespace {

using quorel::testing::GuiUser;
namespace platform = quorel::platform;

// The program as shipped, with the settings in memory, the scripted server and the wall clock.
struct GuiProgram {
  platform::headless::EventLog log;
  platform::headless::ScriptedServer server{log};
  platform::headless::MemoryStore store;
  quorel::posix::LocalClock clock;
  quorel::posix::PosixSystem system{u"", "/nonexistent/quorel/registry"};
  quorel::qt::QtBackend backend;
  platform::desktop::FormDesktop desktop{backend, u"Quorel"};
  platform::headless::DiagnosticsLog diagnostics{log};
  quorel::cacheapi::Platform platform{desktop, store, clock, server, system, diagnostics};
  quorel::app::Program program{platform};
  GuiUser user{backend};
};

// The window's client area under a plain title bar with its icon, caption and frame buttons,
// since the offscreen platform draws no frames of its own.
QPixmap Framed(QWidget* top) {
  const QPixmap client = top->grab();
  constexpr int kBar = 24, kBorder = 1;
  QPixmap out(client.width() + 2 * kBorder, client.height() + kBar + kBorder);
  out.fill(QColor(0x5a, 0x6b, 0x80));
  QPainter p(&out);
  const QRect bar(kBorder, kBorder, client.width(), kBar - kBorder);
  p.fillRect(bar, QColor(0x2f, 0x5d, 0x9a));
  p.drawPixmap(kBorder + 4, kBorder + (bar.height() - 16) / 2, top->windowIcon().pixmap(16, 16));
  QStringList buttons{QStringLiteral("\u2715")};
  if (top->windowFlags() & Qt::WindowMaximizeButtonHint) buttons.prepend(QStringLiteral("\u25a1"));
  if (top->windowFlags() & Qt::WindowMinimizeButtonHint) buttons.prepend(QStringLiteral("\u2013"));
  const int buttonsWidth = 22 * static_cast<int>(buttons.size());
  p.setFont(QApplication::font());
  p.setPen(Qt::white);
  const QRect title = bar.adjusted(26, 0, -buttonsWidth - 4, 0);
  p.drawText(title, Qt::AlignVCenter | Qt::AlignLeft,
             p.fontMetrics().elidedText(top->windowTitle(), Qt::ElideRight, title.width()));
  for (int i = 0; i < buttons.size(); ++i)
    p.drawText(QRect(bar.right() - buttonsWidth + 22 * i, bar.top(), 22, bar.height()),
               Qt::AlignCenter, buttons[i]);
  p.drawPixmap(kBorder, kBar, client);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const QDir directory(QString::fromLocal8Bit(argv[1]));
  if (!directory.exists() && !QDir().mkpath(directory.path())) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 2;
  }
  int failures = 0;
  GuiProgram p;
  p.server.AddRecord(u"1||MUSTER",
                     {{u"PASSWORT", u"geheim"}, {u"AKTIV", u"J"}, {u"PNAME", u"Erika Mustermann"}});
  auto shoot = [&](std::u16string_view form) {
    const QString file = directory.filePath(QString::fromStdU16String(std::u16string(form)) +
                                            QStringLiteral(".png"));
    if (!Framed(p.backend.TopLevel(form)).save(file)) {
      std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
      ++failures;
    }
  };
  GuiUser& u = p.user;
  u.In(u"FMPass", "enter the user", [&] {
    u.Click(u"FMPass", u"BUSER");
    GuiUser::Type(QStringLiteral("muster"));
    u.Click(u"FMPass", u"BPASSWORT");
    GuiUser::Type(QStringLiteral("geheim"));
  });
  u.In(u"FMPass", "picture and open the server settings", [&] {
    shoot(u"FMPass");
    u.Click(u"FMPass", u"BUServer");
  });
  u.In(u"FMServer", "picture and go back", [&] {
    shoot(u"FMServer");
    u.Click(u"FMServer", u"BUZurück");
  });
  u.In(u"FMPass", "log in", [&] { u.Click(u"FMPass", u"BUSpeich"); });
  u.In(u"FMStart", "picture and open the about box", [&] {
    shoot(u"FMStart");
    GuiUser::Press(Qt::Key_F1);
  });
  u.In(u"frmAbout", "picture and close", [&] {
    shoot(u"frmAbout");
    u.Click(u"frmAbout", u"cmdOK");
  });
  u.In(u"FMStart", "end", [&] {
    GuiUser::Press(Qt::Key_D, Qt::AltModifier);
    GuiUser::Press(Qt::Key_B);
  });
  const int status = u.Drive([&] { return p.program.Run(); });
  if (status != 0 || !u.Done()) {
    std::fprintf(stderr, "the program ended with status %d before all windows were shown\n",
                 status);
    return 1;
  }
  return failures == 0 ? 0 : 1;
}
