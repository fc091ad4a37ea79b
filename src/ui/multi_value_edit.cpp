#include "ui/multi_value_edit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include "ui/qt_text.h"

namespace quorvane::ui {
namespace {

// A key that types a character other than a digit (shortcuts and editing keys pass).
bool TypesNonDigit(const QKeyEvent& event) {
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    for (const QChar c : event.text()) {
        if (c.isPrint() && !c.isDigit()) return true;
    }
    return false;
}

}  // namespace

MultiValueEdit::MultiValueEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, &MultiValueEdit::OnTextEdited);
}

void MultiValueEdit::Show(const FieldDisplay& display) {
    state_ = display.state;
    values_.reset();
    // setText clears the modified flag.
    setText(ToQString(display.text));
    update();
}

QString MultiValueEdit::Placeholder() const {
    if (!text().isEmpty()) return {};
    return ToQString(PlaceholderText(state_, isModified()));
}

std::optional<std::u16string> MultiValueEdit::Edited() const {
    if (!isModified()) return std::nullopt;
    return ToU16(text());
}

void MultiValueEdit::keyPressEvent(QKeyEvent* event) {
    completer_.KeyPressed(event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete);
    if (digitsOnly_ && TypesNonDigit(*event)) {
        QApplication::beep();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void MultiValueEdit::OnTextEdited(const QString& text) {
    update();  // the placeholder goes once the user typed
    if (completing_ || !source_) return;
    if (!values_) values_ = source_();
    const std::optional<Completion> completion = completer_.Complete(*values_, ToU16(text), static_cast<size_t>(cursorPosition()));
    if (!completion) return;
    completing_ = true;
    insert(ToQString(completion->text).mid(text.size()));
    setSelection(static_cast<int>(completion->selectionStart),
                 static_cast<int>(completion->selectionEnd - completion->selectionStart));
    completing_ = false;
}

void MultiValueEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    const QString placeholder = Placeholder();
    if (placeholder.isEmpty()) return;
    QPainter painter(this);
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, placeholder);
}

}  // namespace quorvane::ui
