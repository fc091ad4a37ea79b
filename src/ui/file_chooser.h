#pragma once
// The file and folder choosers of the exports and the dialogs. The window asks through
// this interface, as it asks its questions through the prompts: the program shows
// QFileDialog, the tests answer with the paths they want (a test chooser answers only
// what it is asked; every other question is cancelled).
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
    virtual QString ChooseSaveFile(QWidget* parent, const SaveFileRequest& request);
    // A folder; empty when cancelled.
    virtual QString ChooseDirectory(QWidget* parent, const QString& title, const QString& start);
    // A file to read, filtered by `filters` (the first is shown first). Empty when cancelled.
    virtual QString OpenFile(QWidget* parent, const QString& caption, const QStringList& filters);
    // A file to write, proposing `name`; `suffix` is added to a name typed without one.
    // Empty when cancelled. Replacing an existing file has been confirmed.
    virtual QString SaveFile(QWidget* parent, const QString& caption, const QString& name, const QString& filter,
                             const QString& suffix);
};

// QFileDialog; replacing an existing file asks first.
class DialogFileChooser final : public FileChooser {
public:
    QString ChooseSaveFile(QWidget* parent, const SaveFileRequest& request) override;
    QString ChooseDirectory(QWidget* parent, const QString& title, const QString& start) override;
    QString OpenFile(QWidget* parent, const QString& caption, const QStringList& filters) override;
    QString SaveFile(QWidget* parent, const QString& caption, const QString& name, const QString& filter,
                     const QString& suffix) override;
};

// An exporter's file types as the dialog lists them: "Name (pattern)". "*.*" lists
// every file, as it does elsewhere, so it becomes "*".
QStringList DialogFilters(std::span<const FileFilter> filters);

}  // namespace quorvane::ui
