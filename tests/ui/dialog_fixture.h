#pragma once
// Window tests that open dialogs: the dialogs are answered by the test while their
// event loop runs, the file choosers by a recording chooser.
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "ui/file_chooser.h"
#include "window_fixture.h"

namespace quorvane {
class TagSaver;
}

namespace quorvane::test {

// Records what the exports asked for and answers with queued paths ("" cancels).
class RecordingChooser final : public ui::FileChooser {
public:
    QString ChooseSaveFile(QWidget*, const ui::SaveFileRequest& request) override {
        saveRequests.push_back(request);
        return Next();
    }
    QString ChooseDirectory(QWidget*, const QString& title, const QString& start) override {
        directoryRequests.push_back({title, start});
        return Next();
    }
    struct DirectoryRequest {
        QString title;
        QString start;
    };
    std::deque<QString> answers;
    std::vector<ui::SaveFileRequest> saveRequests;
    std::vector<DirectoryRequest> directoryRequests;

private:
    QString Next() {
        if (answers.empty()) return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Holds the saver inside its first file until released.
class HeldSave {
public:
    explicit HeldSave(TagSaver& saver);
    ~HeldSave() { Release(); }
    bool WaitEntered();
    void Release();

private:
    RecordingPrompts prompts_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false;
    bool released_ = false;
};

class DialogTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        window_->SetFileChooser(chooser_);
    }
    void Trigger(ui::Command command) { window_->CommandAction(command)->trigger(); }

    // Runs `command`; the first modal dialog of type D that it opens is given to
    // `answer`, which works it as a user would. A dialog the answer leaves open is
    // cancelled. False when no such dialog opened.
    template <class D>
    bool WithDialog(const std::function<void()>& command, const std::function<void(D&)>& answer) {
        bool seen = false;
        int strangerTicks = 0;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* dialog = qobject_cast<D*>(modal);
            if (!dialog) {
                // Some other box: close it after a while so the test fails instead of hanging.
                if (auto* other = qobject_cast<QDialog*>(modal); other && ++strangerTicks > 400) other->reject();
                return;
            }
            poll.stop();
            seen = true;
            answer(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        poll.start();
        command();
        poll.stop();
        return seen;
    }

    // The settings' string list, oldest first.
    std::vector<std::u16string> StoredList(std::string_view name) const {
        return SettingsStore::Instance().ReadStringList(name);
    }

    RecordingChooser chooser_;
};

}  // namespace quorvane::test
