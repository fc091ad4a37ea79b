#pragma once
// The file and folder choosers of the exports. The window asks through this interface,
// as it asks its questions through the prompts: the program shows QFileDialog, the
// tests answer with the paths they want.
#include <QString>
#include <QStringList>

#include <span>

#include "export/exporter.h"

class QWidget;

namespace quorvane::ui {

struct SaveFileRequest {
    QString directory;      // where the dialog starts
    QStringList filters;    // "M3U Files (*.m3u)", ...
    QString defaultSuffix;  // added to a name typed without one
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The file to write, the user having agreed to replace it when it exists; empty
    // when cancelled.
    virtual QString ChooseSaveFile(QWidget* parent, const SaveFileRequest& request) = 0;
    // A folder; empty when cancelled.
    virtual QString ChooseDirectory(QWidget* parent, const QString& title, const QString& start) = 0;
};

// QFileDialog; replacing an existing file asks first.
class DialogFileChooser final : public FileChooser {
public:
    QString ChooseSaveFile(QWidget* parent, const SaveFileRequest& request) override;
    QString ChooseDirectory(QWidget* parent, const QString& title, const QString& start) override;
};

// An exporter's file types as the dialog lists them: "Name (pattern)". "*.*" lists
// every file, as it does elsewhere, so it becomes "*".
QStringList DialogFilters(std::span<const FileFilter> filters);

}  // namespace quorvane::ui
