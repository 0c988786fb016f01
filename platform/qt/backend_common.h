// What the parts of the Qt backend share: text, unit and colour conversions, the properties that
// mark our widgets, and raising a window.
#pragma once

#include <QColor>
#include <QGuiApplication>
#include <QRect>
#include <QString>
#include <QWidget>
#include <string>
#include <string_view>

#include "platform/form.h"

namespace quorel::qt {

// The window a watched widget belongs to, as a dynamic property.
inline constexpr const char* kWindowProperty = "quorelWindow";
// A link's shown text without its markup.
inline constexpr const char* kLinkTextProperty = "quorelLinkText";

inline QString Q(std::u16string_view s) {
  return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

inline std::u16string U(const QString& s) {
  return s.toStdU16String();
}

inline int Px(int twips) {
  return twips / platform::kTwipsPerPixel;
}

inline QColor ToQColor(const platform::Rgb& c) {
  return QColor(c.red, c.green, c.blue);
}

// A window title as Qt's title bar shows it: Qt takes "[*]" for the place of its modified mark
// and removes it, but shows "[*][*]" as one "[*]".
inline QString Title(std::u16string_view caption) {
  using namespace Qt::Literals::StringLiterals;
  return Q(caption).replace(u"[*]"_s, u"[*][*]"_s);
}

// Brings a window to the front where the platform can (Qt's offscreen platform cannot).
inline void Raise(QWidget* top) {
  using namespace Qt::Literals::StringLiterals;
  static const bool canRaise = QGuiApplication::platformName() != u"offscreen"_s;
  if (canRaise) top->raise();
}

}  // namespace quorel::qt
