#include "window_fixture.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <chrono>

#include "library/codec_options.h"
#include "library/save_record.h"

namespace quorvane::test {

namespace {
constexpr int kWaitMs = 20000;

// Tags the files given on the command line: path title artist album track year genre v1.
constexpr char kTagScript[] = R"(
import sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TRCK, TDRC, TCON
args = sys.argv[1:]
for i in range(0, len(args), 8):
    path, title, artist, album, track, year, genre, v1 = args[i:i + 8]
    tag = ID3()
    for frame, text in ((TIT2, title), (TPE1, artist), (TALB, album), (TRCK, track), (TDRC, year), (TCON, genre)):
        if text:
            tag.add(frame(encoding=3, text=[text]))
    tag.save(path, v1=2 if v1 == '1' else 0, v2_version=4)
)";

constexpr char kInspectScript[] = R"(
import sys
from mutagen.id3 import ID3, ID3NoHeaderError
path = sys.argv[1]
with open(path, 'rb') as f:
    f.seek(-128, 2)
    v1 = f.read(3) == b'TAG'
try:
    tag = ID3(path, load_v1=False)
    v2 = 1
    title = str(tag['TIT2']) if 'TIT2' in tag else ''
    track = str(tag['TRCK']) if 'TRCK' in tag else ''
except ID3NoHeaderError:
    v2, title, track = 0, '', ''
print('v1=%d v2=%d title=%s track=%s' % (v1, v2, title, track))
)";
}  // namespace

void MakeTaggedFiles(const std::filesystem::path& root, const std::vector<TestFile>& files) {
    std::vector<std::string> args;
    for (const TestFile& file : files) {
        const auto path = root / file.path;
        std::filesystem::create_directories(path.parent_path());
        MakeMp3(path, file.lame.empty() ? std::vector<std::string>{"-b", "128"} : file.lame, file.seconds);
        for (const std::string& value : {path.string(), file.title, file.artist, file.album, file.track, file.year,
                                         file.genre, std::string(file.v1 ? "1" : "0")}) {
            args.push_back(value);
        }
    }
    const CommandResult result = RunPython(kTagScript, args);
    ASSERT_EQ(result.status, 0) << result.err;
}

std::string InspectFile(const std::filesystem::path& path) {
    const CommandResult result = RunPython(kInspectScript, {path.string()});
    EXPECT_EQ(result.status, 0) << result.err;
    std::string out = result.out;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

HeldSave::HeldSave(TagSaver& saver) {
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

bool HeldSave::WaitEntered() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return entered_; });
}

void HeldSave::Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

void WindowTest::SetUp() {
    ASSERT_TRUE(SettingsStore::Instance().OpenAt((settingsDir_ / "settings.ini").string()));
    window_ = std::make_unique<ui::MainWindow>(prompts_, launcher_);
    window_->SetFileChooser(chooser_);
    Editor().SetFileChooser(chooser_);
    window_->show();
    window_->Start();
}

void WindowTest::TearDown() {
    if (window_) {
        WaitForSaveEnd();
        window_.reset();
    }
}

void WindowTest::TagWith(const std::string& rel, const std::string& code) {
    const std::string script = "import sys\nfrom mutagen.id3 import ID3, COMM, APIC\ntag = ID3(sys.argv[1])\n" + code +
                               "\ntag.save(sys.argv[1], v2_version=4)\n";
    const CommandResult result = RunPython(script, {(tree_ / rel).string()});
    ASSERT_EQ(result.status, 0) << result.err;
}

std::string WindowTest::MakeImage(const std::string& rel, const std::string& size, const std::string& source) {
    const std::string path = (tree_ / rel).string();
    std::filesystem::create_directories((tree_ / rel).parent_path());
    const CommandResult result = RunCommand({"convert", "-size", size, source, path});
    EXPECT_EQ(result.status, 0) << result.err;
    return path;
}

void WindowTest::LoadTree(size_t rows, const std::string& sub) {
    window_->AddDirectoryPath(ui::PathToQString(TreePath(sub)));
    WaitForRows(rows);
}

void WindowTest::WaitForRows(size_t rows) {
    const bool listed = QTest::qWaitFor(
        [&] {
            return static_cast<size_t>(window_->Rows().rowCount()) == rows && window_->Loader().IsIdle() &&
                   window_->Loader().RecordCount() == rows;
        },
        kWaitMs);
    ASSERT_TRUE(listed) << "rows listed: " << window_->Rows().rowCount() << ", expected " << rows;
    // One more tick of the row timer so the status panes are current.
    QTest::qWait(300);
}

void WindowTest::WaitForSaveEnd() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Controller().IsSaving(); }, kWaitMs));
}

void WindowTest::SaveAll() {
    window_->Save();
    WaitForSaveEnd();
}

void WindowTest::SelectRows(std::initializer_list<int> rows) {
    ui::FileListView& view = window_->List();
    for (int row : rows) {
        view.selectionModel()->select(view.model()->index(row, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void WindowTest::Select(std::initializer_list<int> rows) {
    window_->List().selectionModel()->clearSelection();
    SelectRows(rows);
    QTest::qWait(30);
}

std::vector<int> WindowTest::SelectedViewRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : window_->List().selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int WindowTest::RowOfFile(const QString& name) const {
    const QAbstractItemModel* model = window_->List().model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, ui::kColumnFilename).data().toString() == name) return row;
    }
    return -1;
}

QString WindowTest::Cell(int viewRow, int column) const {
    return window_->List().model()->index(viewRow, column).data().toString();
}

std::u16string WindowTest::TreePath(const std::string& rel) const {
    const std::string path = rel.empty() ? tree_.Path().string() : (tree_ / rel).string();
    return PathFromNative(path);
}

RecordPtr WindowTest::FromDisk(const std::string& rel) const {
    const auto path = tree_ / rel;
    const SharedText dir(PathFromNative(path.parent_path().string()));
    auto record = std::make_shared<Mp3FileRecord>(dir, PathFromNative(path.filename().string()), dir);
    RecordingPrompts prompts;
    EXPECT_TRUE(record->LoadFile(prompts, LoadOptions{}));
    return record;
}

size_t WindowTest::CountPrompts(const std::string& kind, std::u16string_view text) const {
    size_t count = 0;
    for (const RecordedPrompt& prompt : prompts_.Prompts()) count += prompt.kind == kind && prompt.text == text;
    return count;
}

}  // namespace quorvane::test
