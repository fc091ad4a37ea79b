#pragma once
// Records with tags in memory for the operation tests, a gate that says a save covers one
// record, a listener that writes down what it was told, and a settings file of their own.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "operations/edit_context.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "tags/id3v1.h"

namespace quorvane::test {

// A record of a file that was never on disk, its frames set through SetText, unchanged.
inline RecordPtr MemoryRecord(const std::map<FrameId, std::u16string>& frames = {}, std::u16string name = u"a") {
    const SharedText dir(u"/music");
    auto record = std::make_shared<Mp3FileRecord>(dir, std::move(name), dir);
    for (const auto& [id, text] : frames) record->Tag().SetText(id, text);
    record->Tag().ClearChanged();
    return record;
}

// A record loaded from a file that is one ID3v1 record, so that it has an ID3v1 tag.
inline RecordPtr RecordWithV1(const std::filesystem::path& path, const Id3v1Record& v1, UserPrompts& prompts) {
    const auto bytes = EncodeV1(v1);
    WriteFileBytes(path, {bytes.begin(), bytes.end()});
    const SharedText dir(PathFromNative(path.parent_path().string()));
    auto record = std::make_shared<Mp3FileRecord>(dir, PathFromNative(path.filename().string()), dir);
    EXPECT_TRUE(record->LoadFile(prompts, {}) && record->HasV1());
    return record;
}

// "file:<name>" for each file announced, "selection" for the selection.
class RecordingListener final : public EditListener {
public:
    void FileEdited(const RecordPtr& record) override { events.push_back("file:" + U8(record->FileName())); }
    void SelectionEdited() override { events.push_back("selection"); }
    std::vector<std::string> events;
};

// Says that a save covers the one record it was given.
struct BusyGate final : EditGate {
    explicit BusyGate(const RecordPtr& record) : busy(record.get()) {}
    bool IsBeingSaved(const Mp3FileRecord& record) const override { return &record == busy; }
    const Mp3FileRecord* busy;
};

class EditTest : public ::testing::Test {
protected:
    EditContext Context() { return {gate_, prompts_, listener_}; }
    NoSaveRunning gate_;
    RecordingPrompts prompts_;
    RecordingListener listener_;
    TempDir dir_;
};

// A store on a file of its own; Stored() reads a list back from the file.
struct HistoryStore {
    HistoryStore() { EXPECT_TRUE(store.OpenAt(path)); }
    std::vector<std::u16string> Stored(std::string_view name) const {
        SettingsStore fresh;
        return fresh.OpenAt(path) ? fresh.ReadStringList(name) : std::vector<std::u16string>{u"?"};
    }
    TempDir dir;
    std::string path = (dir / "settings.ini").string();
    SettingsStore store;
};

}  // namespace quorvane::test
