#include "ui/qt_prompts.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>

#include "ui/qt_text.h"

namespace quorvane::ui {

PromptAnswer DismissedAnswer(QtPrompts::Kind kind) {
    return kind == QtPrompts::Kind::YesNoCancel ? PromptAnswer::Cancel : PromptAnswer::No;
}

QtPrompts::QtPrompts() : guiThread_(std::this_thread::get_id()) {}

QtPrompts::~QtPrompts() { Dismiss(); }

void QtPrompts::ShowError(std::u16string_view caption, std::u16string_view text) {
    Ask(Kind::Error, caption, text);
}

void QtPrompts::ShowInformation(std::u16string_view caption, std::u16string_view text) {
    Ask(Kind::Information, caption, text);
}

bool QtPrompts::AskYesNo(std::u16string_view caption, std::u16string_view text) {
    return Ask(Kind::YesNo, caption, text) == PromptAnswer::Yes;
}

PromptAnswer QtPrompts::AskYesNoCancel(std::u16string_view caption, std::u16string_view text) {
    return Ask(Kind::YesNoCancel, caption, text);
}

void QtPrompts::Dismiss() {
    std::lock_guard lock(mutex_);
    dismissed_ = true;
    for (const auto& request : queue_) {
        request->answer = DismissedAnswer(request->kind);
        request->done = true;
    }
    queue_.clear();
    answered_.notify_all();
}

size_t QtPrompts::PendingCount() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

PromptAnswer QtPrompts::Ask(Kind kind, std::u16string_view caption, std::u16string_view text) {
    if (std::this_thread::get_id() == guiThread_) return Show(kind, caption, text);
    auto request = std::make_shared<Request>(Request{kind, std::u16string(caption), std::u16string(text)});
    std::unique_lock lock(mutex_);
    if (dismissed_) return DismissedAnswer(kind);
    queue_.push_back(request);
    QMetaObject::invokeMethod(this, &QtPrompts::ShowQueued, Qt::QueuedConnection);
    answered_.wait(lock, [&] { return request->done; });
    return request->answer;
}

void QtPrompts::ShowQueued() {
    // A box shown below runs a nested event loop that may call this again: the outer
    // call goes on with the queue, so boxes never pile up on each other.
    if (showingQueued_) return;
    showingQueued_ = true;
    for (;;) {
        std::shared_ptr<Request> request;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) break;
            request = queue_.front();
        }
        const PromptAnswer answer = Show(request->kind, request->caption, request->text);
        std::lock_guard lock(mutex_);
        // Dismiss may have answered it meanwhile.
        if (!request->done) {
            request->answer = answer;
            request->done = true;
            if (!queue_.empty() && queue_.front() == request) queue_.pop_front();
            answered_.notify_all();
        }
    }
    showingQueued_ = false;
}

PromptAnswer QtPrompts::Show(Kind kind, std::u16string_view caption, std::u16string_view text) {
    // Line breaks arrive as "\r\n" in some texts; a box breaks on "\n" alone.
    QString shown = ToQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(parent_);
    box.setWindowTitle(ToQString(caption));
    box.setText(shown);
    switch (kind) {
        case Kind::Error:
            box.setIcon(QMessageBox::Critical);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Kind::Information:
            box.setIcon(QMessageBox::Information);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Kind::YesNo:
            box.setIcon(QMessageBox::Question);
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
        case Kind::YesNoCancel:
            box.setIcon(QMessageBox::Question);
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return PromptAnswer::Yes;
        case QMessageBox::Cancel:
            return PromptAnswer::Cancel;
        default:
            return kind == Kind::YesNoCancel && box.clickedButton() == nullptr ? PromptAnswer::Cancel
                                                                              : PromptAnswer::No;
    }
}

}  // namespace quorvane::ui
