#pragma once
// The "Edit Comment" dialog: short description, language chosen by name from the sorted
// language list, and the comment's text (Return starts a new line). OK hands the edit to
// the caller, and the dialog stays open when the caller refuses it.
#include <QDialog>

#include <functional>

#include "operations/comment_edit.h"
#include "operations/comment_list.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace quorvane::ui {

class CommentDialog final : public QDialog {
    Q_OBJECT
public:
    using Apply = std::function<bool(const CommentEdit& edit)>;
    CommentDialog(const CommentDialogValues& values, Apply apply, QWidget* parent = nullptr);

    QLineEdit& DescriptionEdit() const { return *description_; }
    QComboBox& LanguageBox() const { return *language_; }
    QPlainTextEdit& TextEdit() const { return *text_; }
    // The dialog's fields, the language as its code.
    CommentEdit Edit() const;

    void accept() override;

private:
    Apply apply_;
    QLineEdit* description_;
    QComboBox* language_;
    QPlainTextEdit* text_;
};

}  // namespace quorvane::ui
