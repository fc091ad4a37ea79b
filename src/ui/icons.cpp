#include "ui/icons.h"

#include <QApplication>

namespace quorvane::ui {

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    const QString themeName = QString::fromLatin1(name);
    if (QIcon::hasThemeIcon(themeName)) return QIcon::fromTheme(themeName);
    return QApplication::style()->standardIcon(fallback);
}

}  // namespace quorvane::ui
