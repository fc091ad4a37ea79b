#pragma once
// Records with tags in memory, a settings file of their own, and a gate that says a save
// covers one record.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "library/edit_gate.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "tags/id3_tag.h"

namespace quorvane::test {

using Frames = std::vector<std::pair<FrameId, const char*>>;

// A record named `name` (nothing on disk) whose tag holds `frames`, unchanged.
inline RecordPtr RecordWith(const std::string& name, const Frames& frames = {}) {
    auto record = std::make_shared<Mp3FileRecord>(SharedText(u"/music"), U16(name), SharedText(u"/music"));
    for (const auto& [frame, text] : frames) record->Tag().AddFrame(MakeTextFrame(frame, U16(text)));
    record->Tag().ClearChanged();
    return record;
}

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

struct SavingGate final : EditGate {
    explicit SavingGate(const RecordPtr& record) : saving(record.get()) {}
    bool IsBeingSaved(const Mp3FileRecord& record) const override { return &record == saving; }
    const Mp3FileRecord* saving;
};

}  // namespace quorvane::test
