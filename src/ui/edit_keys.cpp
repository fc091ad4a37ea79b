#include "ui/edit_keys.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace quorvane::ui {
namespace {

enum class EditOp { Copy, Cut, Paste, Undo };

template <typename Edit>
void Apply(Edit* edit, EditOp op) {
    switch (op) {
        case EditOp::Copy:
            edit->copy();
            break;
        case EditOp::Cut:
            edit->cut();
            break;
        case EditOp::Paste:
            edit->paste();
            break;
        case EditOp::Undo:
            edit->undo();
            break;
    }
}

void ApplyToFocus(EditOp op) {
    QWidget* focus = QApplication::focusWidget();
    if (auto* combo = qobject_cast<QComboBox*>(focus); combo && combo->lineEdit()) focus = combo->lineEdit();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        Apply(line, op);
    } else if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        Apply(text, op);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        Apply(plain, op);
    }
}

}  // namespace

void InstallEditKeys(QWidget& window) {
    const struct {
        QKeySequence keys;
        EditOp op;
    } bindings[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), EditOp::Copy},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), EditOp::Cut},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), EditOp::Paste},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), EditOp::Undo},
    };
    for (const auto& binding : bindings) {
        auto* action = new QAction(&window);
        action->setShortcut(binding.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        const EditOp op = binding.op;
        QObject::connect(action, &QAction::triggered, &window, [op] { ApplyToFocus(op); });
        window.addAction(action);
    }
}

}  // namespace quorvane::ui
