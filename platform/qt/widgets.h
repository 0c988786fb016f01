// The widgets of the forms that Qt has no ready-made counterpart for: a password field's mask,
// the keyboard's length limit of a text field, a line, and a link the keyboard reaches.
#pragma once

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QProxyStyle>
#include <QString>
#include <QValidator>
#include <QWidget>
#include <string_view>

#include "platform/form.h"

namespace quorel::qt {

// Shows a fixed character for each character of a password field.
class MaskStyle final : public QProxyStyle {
 public:
  explicit MaskStyle(char16_t mask) : mask_(mask) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override;

 private:
  char16_t mask_;
};

// Limits what the keyboard (typing, pasting, dropping) enters to a number of characters; a
// longer text set by the program stays whole and may still be shortened by the user. Pasted
// text that does not fit is cut at its end.
class LengthLimit final : public QValidator {
 public:
  LengthLimit(int maxLength, QLineEdit* edit);
  // The program sets a text of any length; the limit then counts from that text.
  void SetByProgram(const QString& text) { last_ = text; }
  State validate(QString& input, int& pos) const override;

 private:
  int max_;
  QString last_;
};

// A line from one point to another, drawn in its colour and width (pixels).
class LineWidget final : public QWidget {
 public:
  LineWidget(const platform::ControlDescription& c, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QPoint a_, b_;
  QColor color_;
  int width_ = 1;
};

// A link that the keyboard reaches as one stop of the focus order: it shows the focus with a
// focus frame, and Space opens its target as a click does.
class LinkLabel final : public QLabel {
 public:
  using QLabel::QLabel;
  QString target;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

// A link's rich text: its shown text, leading to target, underlined or not.
QString LinkMarkup(std::u16string_view text, std::u16string_view target, bool underline);

}  // namespace quorel::qt
