#pragma once
// Window tests that open dialogs: a dialog is worked by the test while its event loop
// runs, the file choosers are answered by a recording chooser.
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <deque>
#include <functional>

#include "ui/file_chooser.h"
#include "window_fixture.h"

namespace quorvane::test {

// Records what the exports ask and answers with queued paths (none or "" cancels).
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
    std::deque<QString> answers;
    std::vector<ui::SaveFileRequest> saveRequests;
    std::vector<std::pair<QString, QString>> directoryRequests;  // title, start

private:
    QString Next() {
        if (answers.empty()) return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class DialogTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        window_->SetFileChooser(chooser_);
    }
    void Trigger(ui::Command command) { window_->CommandAction(command)->trigger(); }

    // Runs `command`; the first modal dialog of type D it opens goes to `answer`, which
    // works it as a user would (a dialog left open is cancelled). False when none opened.
    template <class D>
    bool WithDialog(const std::function<void()>& command, const std::function<void(D&)>& answer) {
        bool seen = false;
        int ticks = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<D*>(modal)) {
                poll.stop();
                seen = true;
                answer(*dialog);
                if (dialog->isVisible()) dialog->reject();
            } else if (auto* other = qobject_cast<QDialog*>(modal); other && ++ticks > 400) {
                other->reject();  // an unexpected box fails the test instead of hanging it
            }
        });
        poll.start(5);
        command();
        return seen;
    }
    template <class D>
    bool WithDialog(ui::Command command, const std::function<void(D&)>& answer) {
        return WithDialog<D>([&] { Trigger(command); }, answer);
    }

    static std::vector<std::u16string> Stored(std::string_view list) {
        return SettingsStore::Instance().ReadStringList(list);
    }

    RecordingChooser chooser_;
};

}  // namespace quorvane::test
