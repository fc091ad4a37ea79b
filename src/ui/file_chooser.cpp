#include "ui/file_chooser.h"

#include <QFileDialog>

#include "ui/qt_text.h"

namespace quorvane::ui {

QString DialogFileChooser::ChooseSaveFile(QWidget* parent, const SaveFileRequest& request) {
    QFileDialog dialog(parent, QString(), request.directory);
    dialog.setWindowTitle(QStringLiteral("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

QString DialogFileChooser::ChooseDirectory(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

QStringList DialogFilters(std::span<const FileFilter> filters) {
    QStringList list;
    for (const FileFilter& filter : filters) {
        const QString pattern = filter.pattern == u"*.*" ? QStringLiteral("*") : ToQString(filter.pattern);
        QString name = ToQString(filter.name);
        // "XML Files (*.xml)" already names its pattern.
        const QString shown = QStringLiteral("(%1)").arg(ToQString(filter.pattern));
        if (name.endsWith(shown)) name.chop(shown.size());
        list << QStringLiteral("%1 (%2)").arg(name.trimmed(), pattern);
    }
    return list;
}

}  // namespace quorvane::ui
