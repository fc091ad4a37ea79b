#include "ui/history_combo.h"

#include <QKeyEvent>

#include "operations/history.h"
#include "ui/qt_text.h"

namespace quorvane::ui {

HistoryEdit::HistoryEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (inKeyPress_) {
            editedInKeyPress_ = true;
        } else {
            erasing_ = false;
            emit Typed();
        }
    });
}

void HistoryEdit::keyPressEvent(QKeyEvent* event) {
    erasing_ = event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete || event->matches(QKeySequence::Cut);
    inKeyPress_ = true;
    editedInKeyPress_ = false;
    QLineEdit::keyPressEvent(event);
    inKeyPress_ = false;
    if (editedInKeyPress_) {
        editedInKeyPress_ = false;
        emit Typed();
    }
}

HistoryCombo::HistoryCombo(QWidget* parent) : QComboBox(parent), edit_(new HistoryEdit(this)) {
    setEditable(true);
    setLineEdit(edit_);
    // Qt's own inline completion would complete every box, and after erasing too.
    setCompleter(nullptr);
    // The history is kept by the dialog; Enter confirms the dialog, it adds no entry.
    setInsertPolicy(QComboBox::NoInsert);
    setMinimumContentsLength(48);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(edit_, &HistoryEdit::Typed, this, &HistoryCombo::OnTyped);
    connect(this, &QComboBox::editTextChanged, this, [this] {
        // Typing reports once its completion is done.
        if (!completing_ && !edit_->InKeyPress()) emit TextChanged();
    });
}

void HistoryCombo::SetHistory(const std::vector<std::u16string>& entries) {
    const QSignalBlocker blocker(this);
    clear();
    for (const std::u16string& entry : entries) addItem(ToQString(entry));
    setCurrentIndex(-1);
    setEditText(QString());
}

std::vector<std::u16string> HistoryCombo::History() const {
    std::vector<std::u16string> entries;
    entries.reserve(static_cast<size_t>(count()));
    for (int i = 0; i < count(); ++i) entries.push_back(ToU16(itemText(i)));
    return entries;
}

std::u16string HistoryCombo::Text() const { return ToU16(edit_->text()); }

void HistoryCombo::OnTyped() {
    if (completes_ && !edit_->Erasing()) {
        const QString typed = edit_->text();
        size_t start = static_cast<size_t>(edit_->cursorPosition());
        size_t end = start;
        if (edit_->hasSelectedText()) {
            start = static_cast<size_t>(edit_->selectionStart());
            end = static_cast<size_t>(edit_->selectionEnd());
        }
        const std::vector<std::u16string> entries = History();
        const Completion completion = CompleteFromHistory(ToU16(typed), start, end, entries);
        const QString text = ToQString(completion.text);
        if (text != typed) {
            completing_ = true;
            edit_->setText(text);
            completing_ = false;
            if (completion.selectionEnd > completion.selectionStart) {
                edit_->setSelection(static_cast<int>(completion.selectionStart),
                                    static_cast<int>(completion.selectionEnd - completion.selectionStart));
            } else {
                edit_->setCursorPosition(static_cast<int>(completion.selectionEnd));
            }
        }
    }
    emit TextChanged();
}

}  // namespace quorvane::ui
