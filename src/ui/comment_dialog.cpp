#include "ui/comment_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "operations/languages.h"
#include "ui/qt_text.h"

namespace quorvane::ui {

CommentDialog::CommentDialog(const CommentDialogValues& values, Apply apply, QWidget* parent)
    : QDialog(parent), apply_(std::move(apply)) {
    setWindowTitle(QStringLiteral("Edit Comment"));
    setObjectName(QStringLiteral("commentDialog"));
    description_ = new QLineEdit(ToQString(values.description), this);
    description_->setObjectName(QStringLiteral("ShortDescription"));
    language_ = new QComboBox(this);
    language_->setObjectName(QStringLiteral("Language"));
    language_->setMaxVisibleItems(20);
    for (const std::u16string_view name : LanguageListNames()) language_->addItem(ToQString(name));
    // The first item of that name: "Albanian" stands for its first code.
    language_->setCurrentIndex(std::max(0, language_->findText(ToQString(values.languageName))));
    text_ = new QPlainTextEdit(ToQString(values.text), this);
    text_->setObjectName(QStringLiteral("Description"));
    text_->setTabChangesFocus(true);
    text_->setMinimumSize(360, 120);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Short Description"), description_);
    form->addRow(QStringLiteral("Language"), language_);
    form->addRow(QStringLiteral("Description"), text_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

CommentEdit CommentDialog::Edit() const {
    CommentEdit edit;
    edit.description = ToU16(description_->text());
    edit.language = std::string(LanguageCodeForName(ToU16(language_->currentText())));
    edit.text = ToU16(text_->toPlainText());
    return edit;
}

void CommentDialog::accept() {
    if (apply_(Edit())) QDialog::accept();
}

}  // namespace quorvane::ui
