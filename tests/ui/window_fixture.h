#pragma once
// A real main window over a private settings file, with prompts that record every box
// and answer from a queue, a launcher and a file chooser that record what they are
// asked, and a way to work the modal dialogs a command opens.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "library/tag_saver.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "ui/desktop_launcher.h"
#include "ui/file_chooser.h"
#include "ui/file_list_view.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/record_list_model.h"
#include "ui/tag_editor.h"

namespace quorvane::test {

class RecordingLauncher final : public ui::DesktopLauncher {
public:
    bool OpenUrl(const QUrl& url) override {
        opened.push_back(url);
        return openSucceeds;
    }
    bool StartDetached(const QString& program, const QStringList& arguments) override {
        started.push_back({program, arguments});
        return startSucceeds;
    }
    struct Started {
        QString program;
        QStringList arguments;
    };
    std::vector<QUrl> opened;
    std::vector<Started> started;
    bool openSucceeds = true;
    bool startSucceeds = true;
};

// Records what the window and the editor ask and answers every question with the next
// queued path (none or "" cancels).
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
    QString OpenFile(QWidget*, const QString&, const QStringList& filters) override {
        openFilters = filters;
        return Next();
    }
    QString SaveFile(QWidget*, const QString&, const QString& name, const QString& filter,
                     const QString& suffix) override {
        proposed = name + "|" + filter + "|" + suffix;
        return Next();
    }
    std::deque<QString> answers;
    std::vector<ui::SaveFileRequest> saveRequests;
    std::vector<std::pair<QString, QString>> directoryRequests;  // title, start
    QStringList openFilters;
    QString proposed;  // name|filter|suffix of the last SaveFile

private:
    QString Next() {
        if (answers.empty()) return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// One file of a test tree, tagged by mutagen.
struct TestFile {
    std::string path;                   // relative to the tree
    std::vector<std::string> lame;      // lame options, e.g. {"-b", "128"}
    double seconds = 1.0;
    std::string title, artist, album, track, year, genre;
    bool v1 = false;                    // also an ID3v1 tag
};

// Writes the files under `root` (lame, then mutagen).
void MakeTaggedFiles(const std::filesystem::path& root, const std::vector<TestFile>& files);
// mutagen's view of a file: "v1=<0|1> v2=<0|1> title=<TIT2> track=<TRCK>".
std::string InspectFile(const std::filesystem::path& path);

// Holds the saver inside its first file until released.
class HeldSave {
public:
    explicit HeldSave(TagSaver& saver);
    bool WaitEntered();
    void Release();
    ~HeldSave() { Release(); }

private:
    RecordingPrompts prompts_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false;
    bool released_ = false;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void MakeFiles(const std::vector<TestFile>& files) { MakeTaggedFiles(tree_.Path(), files); }
    // Adds mutagen frames: `code` runs with `tag` loaded from the file, which is then saved.
    void TagWith(const std::string& rel, const std::string& code);
    // An image file made by ImageMagick in the tree; its full path.
    std::string MakeImage(const std::string& rel, const std::string& size, const std::string& source);
    // Adds the tree (or a folder of it) and waits until `rows` rows are listed.
    void LoadTree(size_t rows, const std::string& sub = {});
    // Waits for every row and for the loader to go idle.
    void WaitForRows(size_t rows);
    void WaitForSaveEnd();
    // The list's Save, waited for.
    void SaveAll();
    void Trigger(ui::Command command) { window_->CommandAction(command)->trigger(); }
    // Adds these rows of the view to the selection one after another, as clicks with Ctrl would.
    void SelectRows(std::initializer_list<int> rows);
    // Exactly these view rows selected; the timer and queued calls have run, so the panes show them.
    void Select(std::initializer_list<int> rows);
    std::vector<int> SelectedViewRows() const;
    // The view row whose file name is `name`; -1 when none.
    int RowOfFile(const QString& name) const;
    RecordPtr RecordAt(int viewRow) const { return window_->List().RecordAtViewRow(viewRow); }
    QString Cell(int viewRow, int column) const;
    std::u16string TreePath(const std::string& rel = {}) const;
    std::string Inspect(const std::string& rel) const { return InspectFile(tree_ / rel); }
    // The file as a fresh load from disk reads it.
    RecordPtr FromDisk(const std::string& rel) const;
    size_t CountPrompts(const std::string& kind, std::u16string_view text) const;
    static std::vector<std::u16string> Stored(std::string_view list) {
        return SettingsStore::Instance().ReadStringList(list);
    }
    ui::TagEditor& Editor() const { return window_->Editor(); }

    // Runs `open`; the first modal dialog of type D it shows goes to `answer`, which works
    // it as a user would (a dialog left open is cancelled). False when none showed.
    template <class D>
    bool WithDialog(const std::function<void()>& open, const std::function<void(D&)>& answer) {
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
        open();
        return seen;
    }
    template <class D>
    bool WithDialog(ui::Command command, const std::function<void(D&)>& answer) {
        return WithDialog<D>([&] { Trigger(command); }, answer);
    }

    TempDir settingsDir_;
    TempDir tree_;
    RecordingPrompts prompts_;
    RecordingLauncher launcher_;
    RecordingChooser chooser_;
    std::unique_ptr<ui::MainWindow> window_;
};

}  // namespace quorvane::test
