#include "ui/file_chooser.h"

#include <QFileDialog>

#include "ui/qt_text.h"

namespace quorvane::ui {

QString FileChooser::ChooseSaveFile(QWidget*, const SaveFileRequest&) { return {}; }
QString FileChooser::ChooseDirectory(QWidget*, const QString&, const QString&) { return {}; }
QString FileChooser::OpenFile(QWidget*, const QString&, const QStringList&) { return {}; }
QString FileChooser::SaveFile(QWidget*, const QString&, const QString&, const QString&, const QString&) { return {}; }

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

QString DialogFileChooser::OpenFile(QWidget* parent, const QString& caption, const QStringList& filters) {
    QFileDialog dialog(parent, caption);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

QString DialogFileChooser::SaveFile(QWidget* parent, const QString& caption, const QString& name,
                                    const QString& filter, const QString& suffix) {
    QFileDialog dialog(parent, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
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
