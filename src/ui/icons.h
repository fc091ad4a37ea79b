#pragma once
// Icons from the desktop's icon theme by their freedesktop names, with Qt's own
// standard pixmaps where the theme has none.
#include <QIcon>
#include <QStyle>

namespace quorvane::ui {

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback);

}  // namespace quorvane::ui
