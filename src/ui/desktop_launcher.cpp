#include "ui/desktop_launcher.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "platform/user_prompts.h"
#include "ui/qt_text.h"

namespace quorvane::ui {

bool SystemLauncher::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool SystemLauncher::StartDetached(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

namespace {

// Qt decodes a name's bytes as UTF-8, with U+FFFD for what is not: only a UTF-8 name
// comes back as the same bytes.
bool QtKeepsBytes(std::u16string_view path) { return Utf8ToUtf16Strict(PathToNative(path)).has_value(); }

}  // namespace

QUrl LocalFileUrl(std::u16string_view path) {
    if (QtKeepsBytes(path)) return QUrl::fromLocalFile(PathToQString(path));
    // Percent-encoded, the URL keeps the bytes and so names this file, not another.
    return QUrl::fromEncoded("file://" + QByteArray::fromStdString(PathToNative(path)).toPercentEncoding("/"));
}

QUrl FileUrl(const Mp3FileRecord& record) { return LocalFileUrl(record.DiskPath()); }

void PlayFiles(DesktopLauncher& launcher, const std::vector<RecordPtr>& records) {
    for (const RecordPtr& record : records) launcher.OpenUrl(FileUrl(*record));
}

void EnqueueFiles(DesktopLauncher& launcher, const std::vector<RecordPtr>& records) {
    const QString command = ToQString(SettingsStore::Instance().ReadString("EnqueueCommand")).trimmed();
    const QStringList parts = QProcess::splitCommand(command);
    for (const RecordPtr& record : records) {
        if (!parts.isEmpty()) {
            QStringList arguments = parts.mid(1);
            // A path Qt cannot pass byte for byte goes as its file: URL, which players take too.
            const std::u16string path = record->DiskPath();
            arguments << (QtKeepsBytes(path) ? PathToQString(path) : QString::fromLatin1(LocalFileUrl(path).toEncoded()));
            if (launcher.StartDetached(parts.front(), arguments)) continue;
        }
        launcher.OpenUrl(FileUrl(*record));
    }
}

void ExploreDirectories(DesktopLauncher& launcher, const std::vector<RecordPtr>& records) {
    std::vector<std::u16string> seen;
    for (const RecordPtr& record : records) {
        const std::u16string& directory = record->Directory().str();
        if (std::find(seen.begin(), seen.end(), directory) != seen.end()) continue;
        seen.push_back(directory);
        launcher.OpenUrl(LocalFileUrl(directory));
    }
}

QString FindManual() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QStringList candidates = {
        programDir.filePath(QStringLiteral("manual.html")),
        programDir.filePath(QStringLiteral("../") + QStringLiteral(QUORVANE_MANUAL_INSTALLED)),
        QStringLiteral(QUORVANE_MANUAL_SOURCE),
    };
    for (const QString& candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isReadable()) return info.absoluteFilePath();
    }
    return {};
}

void OpenManual(DesktopLauncher& launcher, UserPrompts& prompts, const QString& manual) {
    if (manual.isEmpty() || !launcher.OpenUrl(QUrl::fromLocalFile(manual))) {
        prompts.ShowError(ProgramTitle(), u"Couldn't open help file");
    }
}

}  // namespace quorvane::ui
