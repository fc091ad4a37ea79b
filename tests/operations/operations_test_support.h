#pragma once
// Records with tags in memory for the operations' tests, and a settings file of their own.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "library/edit_gate.h"
#include "library/mp3_file_record.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "tags/id3_tag.h"

namespace quorvane::test {

using Frames = std::vector<std::pair<FrameId, const char*>>;

// A record named `name` in /music whose tag holds `frames` (UTF-8 texts); nothing on disk.
inline RecordPtr RecordWith(const std::string& name, const Frames& frames) {
    auto record = std::make_shared<Mp3FileRecord>(SharedText(u"/music"), U16(name), SharedText(u"/music"));
    for (const auto& [frame, text] : frames) record->Tag().AddFrame(MakeTextFrame(frame, U16(text)));
    record->Tag().ClearChanged();
    return record;
}

// A settings store on a file of its own in a temporary directory.
class HistoryStore {
public:
    HistoryStore() { EXPECT_TRUE(store_.OpenAt(Path())); }
    SettingsStore& Store() { return store_; }
    std::string Path() const { return (dir_ / "settings.ini").string(); }
    // The list as a fresh store reads it from the file.
    std::vector<std::u16string> Stored(std::string_view name) const {
        SettingsStore fresh;
        EXPECT_TRUE(fresh.OpenAt(Path()));
        return fresh.ReadStringList(name);
    }

private:
    TempDir dir_;
    SettingsStore store_;
};

// A gate that says a save covers the given record.
class SavingGate final : public EditGate {
public:
    explicit SavingGate(const Mp3FileRecord* saving) : saving_(saving) {}
    bool IsBeingSaved(const Mp3FileRecord& record) const override { return &record == saving_; }

private:
    const Mp3FileRecord* saving_;
};

}  // namespace quorvane::test
