#pragma once
// Between the core's UTF-16 texts and paths and Qt's strings. Paths go through their
// bytes on disk, so a name the core holds with its invalid-UTF-8 bytes kept meets Qt's
// own decoding of the same name.
#include <QFile>
#include <QString>

#include <string>
#include <string_view>

#include "platform/text_codec.h"

namespace quorvane::ui {

inline QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

inline std::u16string ToU16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

inline QString PathToQString(std::u16string_view path) {
    return QFile::decodeName(QByteArray::fromStdString(PathToNative(path)));
}

inline std::u16string PathFromQString(const QString& path) {
    return PathFromNative(QFile::encodeName(path).toStdString());
}

}  // namespace quorvane::ui
