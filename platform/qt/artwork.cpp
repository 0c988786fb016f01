#include "platform/qt/artwork.h"

#include <QFile>
#include <stdexcept>

#include "platform/qt/backend_common.h"

namespace quorel::qt {

using namespace Qt::Literals::StringLiterals;

namespace {

QString PicturePath(std::u16string_view name) {
  QString path = u":/quorel/"_s + Q(name) + u".png"_s;
  if (!QFile::exists(path))
    throw std::logic_error("Bild fehlt in den Programmressourcen: " +
                           QString(Q(name)).toStdString());
  return path;
}

}  // namespace

QPixmap Picture(std::u16string_view name) {
  return QPixmap(PicturePath(name));
}

QIcon Icon(std::u16string_view name) {
  return QIcon(PicturePath(name));
}

}  // namespace quorel::qt
