#pragma once
// The program's message boxes as QMessageBox, for any thread.
//
// A box asked on the GUI thread is shown at once. A box asked by a worker (the loader
// reporting a file it cannot open, the saver one it cannot write) is queued to the GUI
// thread, shown there one at a time, and the worker waits for the answer without any
// lock of the file list held by the GUI side: the GUI thread never waits for a worker
// that waits for a box. Before the window joins its workers it calls Dismiss(): every
// waiting worker, and every later one, gets the "no" answer at once, so a join can never
// wait for a box that nobody will answer.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/user_prompts.h"

namespace quorvane::ui {

class QtPrompts final : public QObject, public UserPrompts {
    Q_OBJECT
public:
    // Made on the GUI thread; boxes are shown there.
    QtPrompts();
    ~QtPrompts() override;

    // The window the boxes belong to (none: boxes without owner).
    void SetParentWindow(QWidget* window) { parent_ = window; }

    void ShowError(std::u16string_view caption, std::u16string_view text) override;
    void ShowInformation(std::u16string_view caption, std::u16string_view text) override;
    bool AskYesNo(std::u16string_view caption, std::u16string_view text) override;
    PromptAnswer AskYesNoCancel(std::u16string_view caption, std::u16string_view text) override;

    // From now on workers are not shown boxes: the waiting ones and later ones get the
    // answer "No" ("Cancel" where offered). GUI-thread boxes are still shown.
    void Dismiss();
    // Boxes that workers have asked for and that are not answered yet.
    size_t PendingCount() const;

    enum class Kind { Error, Information, YesNo, YesNoCancel };

private:
    struct Request {
        Kind kind;
        std::u16string caption;
        std::u16string text;
        PromptAnswer answer = PromptAnswer::No;
        bool done = false;
    };

    PromptAnswer Ask(Kind kind, std::u16string_view caption, std::u16string_view text);
    PromptAnswer Show(Kind kind, std::u16string_view caption, std::u16string_view text);
    // GUI thread: shows the queued boxes in turn.
    void ShowQueued();

    const std::thread::id guiThread_;
    QPointer<QWidget> parent_;
    mutable std::mutex mutex_;
    std::condition_variable answered_;
    std::deque<std::shared_ptr<Request>> queue_;
    bool dismissed_ = false;
    bool showingQueued_ = false;
};

// The answer a dismissed question takes.
PromptAnswer DismissedAnswer(QtPrompts::Kind kind);

}  // namespace quorvane::ui
