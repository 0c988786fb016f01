// The program on the Linux desktop: Qt windows, the INI settings store, the local clock, the
// server client chosen by MIRLOX_SERVER and the POSIX system.
#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "app/end_process.h"
#include "app/program.h"
#include "forms/exit_status.h"
#include "platform/desktop/form_desktop.h"
#include "platform/posix/command_line.h"
#include "platform/posix/local_clock.h"
#include "platform/posix/posix_system.h"
#include "platform/posix/standard_error.h"
#include "platform/qt/ini_settings_store.h"
#include "platform/qt/qt_backend.h"
#include "platform/sql/server_factory.h"

namespace {

// Tells the user why the program cannot go on: on standard error, and in a message box when the
// windows work.
int Fail(const std::string& cause) {
  const QString text =
      QStringLiteral("Quorel kann nicht ausgeführt werden:\n") + QString::fromStdString(cause);
  quorel::posix::StandardError().Line(text.toStdU16String());
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    try {
      QMessageBox box(QMessageBox::Critical, QStringLiteral("Quorel"), text, QMessageBox::Ok);
      box.setTextFormat(Qt::PlainText);
      box.exec();
    } catch (...) {  // NOLINT(bugprone-empty-catch): the message is on standard error already
    }
  }
  return quorel::forms::kExitFailure;
}

// While the windows start, a fatal Qt error (no display to connect to, no platform plugin)
// ends the program like any other failure that leaves it unable to go on.
void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  std::fprintf(stderr, "quorel: %s\n", message.toLocal8Bit().constData());
  if (type == QtFatalMsg) {
    std::fprintf(stderr,
                 "quorel: Die Fensteroberfläche kann nicht gestartet werden (keine Anzeige?).\n");
    std::_Exit(quorel::forms::kExitFailure);
  }
}

// Runs the program on the application object's windows and returns its exit status.
int RunProgram(int argc, char** argv) {
  try {
    using namespace quorel;
    // The windows are never torn down: the process ends without them (see main).
    static qt::QtBackend backend;
    platform::desktop::FormDesktop desktop(backend, u"Quorel");
    posix::StandardError diagnostics;
    qt::IniSettingsStore store;
    // A settings file that cannot be read is told before the login dialog asks for anything.
    store.OnUnreadableFile([&](std::u16string_view message) {
      diagnostics.Line(message);
      desktop.MsgBox(message, platform::vbExclamation, {});
    });
    posix::LocalClock clock;
    const std::unique_ptr<platform::ServerClientFactory> server = sql::CreateServerClientFactory();
    posix::PosixSystem system(posix::JoinArguments(argc, argv), posix::DefaultRegistryPath(),
                              &diagnostics);
    cacheapi::Platform platform{desktop, store, clock, *server, system, diagnostics};
    app::Program program(platform);
    return program.Run();
  } catch (const std::exception& error) {
    return Fail(error.what());
  } catch (...) {
    return Fail("unbekannter Fehler");
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Qt sees none of the user's arguments: it would take out those that look like its own
  // options ("-reverse", "-style x", ...), and every one of them is a field of the login. Qt is
  // set up through its environment variables instead (QT_QPA_PLATFORM, DISPLAY, QT_STYLE_OVERRIDE).
  char programName[] = "quorel";
  int qtArgc = 1;
  char* qtArgv[] = {argc > 0 && argv[0] ? argv[0] : programName, nullptr};
  const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
  QApplication application(qtArgc, qtArgv);
  qInstallMessageHandler(previous);
  QApplication::setApplicationName(QStringLiteral("Quorel"));
  // The desktop entry the package installs, so that desktops match the windows to it.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.mirlox.Quorel"));
  // The application object is never destroyed either: Qt's Wayland teardown can wait for good
  // for its event thread (in the display's destructor), and the program is over by then.
  quorel::app::EndProcess(RunProgram(argc, argv));
}
