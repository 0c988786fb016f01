// Message boxes: Qt's own, with the buttons and icon of the style value and German button
// texts; and the application-wide mouse pointer.
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include "platform/desktop.h"
#include "platform/qt/backend_common.h"
#include "platform/qt/qt_backend.h"

namespace quorel::qt {

using namespace Qt::Literals::StringLiterals;

int QtBackend::MessageBox(std::u16string_view prompt, int style, std::u16string_view title) {
  QWidget* parent = nullptr;
  for (auto it = zOrder_.rbegin(); it != zOrder_.rend() && !parent; ++it) {
    if (const Window* w = Find(*it); w && w->top->isVisible()) parent = w->top;
  }
  QString text = Q(prompt);
  text.replace(u"\r\n"_s, u"\n"_s);
  QPointer<QMessageBox> box = new QMessageBox(parent);
  box->setWindowTitle(Title(title));
  box->setTextFormat(Qt::PlainText);
  box->setText(text);
  switch (style & platform::kMsgBoxIcon) {
    case platform::vbCritical:
      box->setIcon(QMessageBox::Critical);
      break;
    case platform::vbQuestion:
      box->setIcon(QMessageBox::Question);
      break;
    case platform::vbExclamation:
      box->setIcon(QMessageBox::Warning);
      break;
    case platform::vbInformation:
      box->setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  const bool yesNo = (style & platform::kMsgBoxButtons) == platform::vbYesNo;
  QAbstractButton* yes = nullptr;
  QAbstractButton* no = nullptr;
  if (yesNo) {
    yes = box->addButton(u"Ja"_s, QMessageBox::YesRole);
    no = box->addButton(u"Nein"_s, QMessageBox::NoRole);
    box->setDefaultButton(static_cast<QPushButton*>(yes));
    box->setEscapeButton(no);  // Escape and the close box answer No
  } else {
    QAbstractButton* ok = box->addButton(u"OK"_s, QMessageBox::AcceptRole);
    box->setDefaultButton(static_cast<QPushButton*>(ok));
    box->setEscapeButton(ok);
  }
  box->setWindowModality(Qt::ApplicationModal);
  bool done = false;
  QObject::connect(box, &QMessageBox::finished, box, [&done] { done = true; });
  box->show();
  // The box's own wait: events go on meanwhile, as everywhere else.
  while (box && !done)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  int answer = yesNo ? platform::vbNo : platform::vbOK;
  if (box) {
    if (yesNo && box->clickedButton() == yes) answer = platform::vbYes;
    delete box.data();
  }
  // Where no window manager does it, the window in front gets the keyboard back.
  if (!QApplication::activeWindow()) ActivateFront();
  return answer;
}

void QtBackend::SetMousePointer(int shape) {
  if (shape == platform::vbDefault) {
    if (pointerOverridden_) QGuiApplication::restoreOverrideCursor();
    pointerOverridden_ = false;
    return;
  }
  const QCursor cursor(shape == platform::vbHourglass ? Qt::WaitCursor : Qt::ArrowCursor);
  if (pointerOverridden_)
    QGuiApplication::changeOverrideCursor(cursor);
  else
    QGuiApplication::setOverrideCursor(cursor);
  pointerOverridden_ = true;
}

}  // namespace quorel::qt
