// One empty main window with a one-item menu, nothing else: what any Qt program pays to start.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Minimal"));
  QMenu* menu = window.menuBar()->addMenu(QStringLiteral("&Datei"));
  QObject::connect(menu->addAction(QStringLiteral("&Beenden")), &QAction::triggered, &window,
                   &QWidget::close);
  window.resize(628, 412 + window.menuBar()->sizeHint().height());
  window.show();
  return application.exec();
}
