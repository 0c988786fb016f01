#include "platform/qt/widgets.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QPainter>
#include <QUrl>
#include <algorithm>
#include <cstdlib>

#include "platform/qt/backend_common.h"

namespace quorel::qt {

using namespace Qt::Literals::StringLiterals;

int MaskStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const {
  if (hint == SH_LineEdit_PasswordCharacter) return mask_;
  if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
  return QProxyStyle::styleHint(hint, option, widget, returnData);
}

LengthLimit::LengthLimit(int maxLength, QLineEdit* edit) : QValidator(edit), max_(maxLength) {
  last_ = edit->text();
  QObject::connect(edit, &QLineEdit::textChanged, this, [this](const QString& t) { last_ = t; });
}

QValidator::State LengthLimit::validate(QString& input, int& pos) const {
  const qsizetype allowed = std::max<qsizetype>(max_, last_.size());
  if (input.size() <= allowed) return Acceptable;
  const qsizetype excess = input.size() - allowed;
  if (pos >= excess) {
    QString cut = input;
    cut.remove(pos - excess, excess);
    if (cut != last_) {
      input = cut;
      pos -= static_cast<int>(excess);
      return Acceptable;
    }
  }
  return Invalid;
}

LineWidget::LineWidget(const platform::ControlDescription& c, QWidget* parent) : QWidget(parent) {
  const QPoint a(Px(c.left), Px(c.top)), b(Px(c.width), Px(c.height));
  width_ = std::max(1, c.lineWidth);
  color_ = c.foreColor ? ToQColor(*c.foreColor) : QColor(Qt::black);
  const QRect box = QRect(a, b).normalized().adjusted(0, 0, width_, width_);
  setGeometry(box);
  a_ = a - box.topLeft();
  b_ = b - box.topLeft();
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(QPen(color_, 1));
  // A wide line grows down (horizontal) or right (otherwise) from its end points.
  const bool horizontal = std::abs(b_.x() - a_.x()) >= std::abs(b_.y() - a_.y());
  for (int i = 0; i < width_; ++i) {
    const QPoint step = horizontal ? QPoint(0, i) : QPoint(i, 0);
    painter.drawLine(a_ + step, b_ + step);
  }
}

void LinkLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
  // Around the link's text, which starts at the left.
  const int textWidth = fontMetrics().horizontalAdvance(property(kLinkTextProperty).toString());
  painter.drawRect(QRect(0, 0, std::min(width(), textWidth + 4), height()).adjusted(0, 0, -1, -1));
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
    QDesktopServices::openUrl(QUrl(target));
    return;
  }
  QLabel::keyPressEvent(event);
}

QString LinkMarkup(std::u16string_view text, std::u16string_view target, bool underline) {
  return u"<a href=\"%1\"%2>%3</a>"_s.arg(
      Q(target).toHtmlEscaped(), underline ? QString() : u" style=\"text-decoration:none\""_s,
      Q(text).toHtmlEscaped());
}

}  // namespace quorel::qt
