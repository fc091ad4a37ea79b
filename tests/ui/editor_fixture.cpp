#include "editor_fixture.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTimer>

#include "library/codec_options.h"
#include "library/save_record.h"
#include "library/tag_saver.h"

namespace quorvane::test {

void EditorTest::SetUp() {
    WindowTest::SetUp();
    Editor().SetFileChooser(chooser_);
}

void EditorTest::Settle(int ms) { QTest::qWait(ms); }

void EditorTest::Select(std::initializer_list<int> rows) {
    window_->List().selectionModel()->clearSelection();
    SelectRows(rows);
    Settle();
}

std::vector<int> EditorTest::SelectedViewRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : window_->List().selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

RecordPtr EditorTest::FromDisk(const std::string& rel) {
    const auto path = tree_ / rel;
    const SharedText dir(PathFromNative(path.parent_path().string()));
    auto record = std::make_shared<Mp3FileRecord>(dir, PathFromNative(path.filename().string()), dir);
    RecordingPrompts prompts;
    EXPECT_TRUE(record->LoadFile(prompts, LoadOptions{}));
    return record;
}

void EditorTest::SaveAll() {
    window_->Save();
    WaitForSaveEnd();
}

void EditorTest::WithModal(const std::function<void()>& open, const std::function<void(QDialog&)>& fill) {
    bool filled = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || filled) return;
        filled = true;
        fill(*dialog);
        // A dialog the filler left open is closed without changes.
        if (dialog->isVisible()) dialog->reject();
    });
    poll.start();
    open();
    EXPECT_TRUE(filled) << "no dialog showed";
}

void EditorTest::TagWith(const std::string& rel, const std::string& code) {
    const std::string script = "import sys\nfrom mutagen.id3 import ID3, COMM, APIC\ntag = ID3(sys.argv[1])\n" + code +
                               "\ntag.save(sys.argv[1], v2_version=4)\n";
    const CommandResult result = RunPython(script, {(tree_ / rel).string()});
    ASSERT_EQ(result.status, 0) << result.err;
}

std::string EditorTest::MakeImage(const std::string& rel, const std::string& size, const std::string& source) {
    const std::string path = (tree_ / rel).string();
    std::filesystem::create_directories((tree_ / rel).parent_path());
    const CommandResult result = RunCommand({"convert", "-size", size, source, path});
    EXPECT_EQ(result.status, 0) << result.err;
    return path;
}

}  // namespace quorvane::test
