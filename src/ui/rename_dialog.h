#pragma once
// The "Rename" dialog: a name expression, with the history of the expressions used and
// a live preview of the first target file's new name. The window applies the expression
// once the dialog is confirmed.
#include <QDialog>

#include <string>
#include <vector>

#include "library/mp3_file_record.h"
#include "ui/preview_prompts.h"

class QLineEdit;
class QPushButton;

namespace quorvane::ui {

class HistoryCombo;

class RenameDialog final : public QDialog {
    Q_OBJECT
public:
    // Loads the "Renames" history from the settings.
    RenameDialog(std::vector<RecordPtr> targets, UserPrompts& prompts, QWidget* parent = nullptr);

    std::u16string Expression() const;
    // The preview line: the first target's new name as expanded, ".mp3" included.
    QString Preview() const;
    HistoryCombo& ExpressionBox() const { return *expression_; }
    QPushButton& RenameButton() const { return *rename_; }
    QPushButton& CancelButton() const { return *cancel_; }

private:
    void UpdatePreview();

    std::vector<RecordPtr> targets_;
    PreviewPrompts prompts_;
    HistoryCombo* expression_;
    QLineEdit* preview_;
    QPushButton* rename_;
    QPushButton* cancel_;
};

}  // namespace quorvane::ui
