#pragma once
// The open and save file choosers of the dialogs, behind an interface so the tests can
// answer them.
#include <QString>
#include <QStringList>

class QWidget;

namespace quorvane::ui {

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // A file to read, filtered by `filters` (the first is shown first). Empty when cancelled.
    virtual QString OpenFile(QWidget* parent, const QString& caption, const QStringList& filters) = 0;
    // A file to write, proposing `name`; `suffix` is added to a name typed without one.
    // Empty when cancelled. Replacing an existing file has been confirmed.
    virtual QString SaveFile(QWidget* parent, const QString& caption, const QString& name, const QString& filter,
                             const QString& suffix) = 0;
};

// QFileDialog.
class DialogFileChooser final : public FileChooser {
public:
    QString OpenFile(QWidget* parent, const QString& caption, const QStringList& filters) override;
    QString SaveFile(QWidget* parent, const QString& caption, const QString& name, const QString& filter,
                     const QString& suffix) override;
};

}  // namespace quorvane::ui
