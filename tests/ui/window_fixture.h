#pragma once
// A real main window over a private settings file, with prompts that record every box
// and answer from a queue, and a launcher that records what would be opened.
#include <gtest/gtest.h>

#include <QFile>
#include <QTest>

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "library/codec_options.h"
#include "library/directory_loader.h"
#include "library/save_record.h"
#include "library/tag_saver.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "ui/desktop_launcher.h"
#include "ui/file_list_view.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/record_list_model.h"

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

// One file of a test tree, tagged by mutagen.
struct TestFile {
    std::string path;                   // relative to the tree
    std::vector<std::string> lame;      // lame options, e.g. {"-b", "128"}
    double seconds = 1.0;
    std::string title, artist, album, track, year, genre;
    bool v1 = false;                    // also an ID3v1 tag
};

// Holds the saver inside its first file until released.
class HeldSave {
public:
    explicit HeldSave(TagSaver& saver) {
        saver.SetSaveFunction([this](Mp3FileRecord& record) {
            {
                std::unique_lock lock(mutex_);
                entered_ = true;
                changed_.notify_all();
                changed_.wait(lock, [this] { return released_; });
            }
            SaveRecord(record, prompts_, WriteOptionsFromSettings());
        });
    }
    bool WaitEntered() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return entered_; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
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

    // Writes the files into the tree (lame, then mutagen).
    void MakeFiles(const std::vector<TestFile>& files);
    // Adds the tree (or a folder of it) and waits until `rows` rows are listed.
    void LoadTree(size_t rows, const std::string& sub = {});
    // Waits for every row and for the loader to go idle.
    void WaitForRows(size_t rows);
    void WaitForSaveEnd();
    // Selects these rows of the view one after another, as clicks with Ctrl would.
    void SelectRows(std::initializer_list<int> rows);
    // The view row whose file name is `name`; -1 when none.
    int RowOfFile(const QString& name) const;
    QString Cell(int viewRow, int column) const;
    std::u16string TreePath(const std::string& rel = {}) const;
    // mutagen's view of a file: "v1=<0|1> v2=<0|1> title=<TIT2> track=<TRCK>".
    std::string Inspect(const std::string& rel) const;
    size_t CountPrompts(const std::string& kind, std::u16string_view text) const;

    TempDir settingsDir_;
    TempDir tree_;
    RecordingPrompts prompts_;
    RecordingLauncher launcher_;
    std::unique_ptr<ui::MainWindow> window_;
};

}  // namespace quorvane::test
