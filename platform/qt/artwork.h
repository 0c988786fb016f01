// The program's pictures and icons, compiled into the program as Qt resources by their names
// ("ok", "server", "about_banner", ...).
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <string_view>

namespace quorel::qt {

// Each throws std::logic_error when the program has no picture of that name.
QPixmap Picture(std::u16string_view name);
// An icon is read from its file only when it is first drawn, which for most is after the
// window is on the screen.
QIcon Icon(std::u16string_view name);

}  // namespace quorel::qt
