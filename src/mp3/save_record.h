#pragma once
// The per-file save: the ID3v1 step, then the ID3v2 step, then a pending rename.
#include <string>
#include <string_view>

#include "mp3/binary_file.h"

namespace quorvane {

class CId3Tag;
class Mp3FileRecord;
class SaveFaults;
class UserPrompts;

// One save of one record: its tag and the file it is written to.
struct SaveContext {
    CId3Tag& tag;
    BinaryFile file;
    SaveFaults* faults = nullptr;  // the tag writer's failure seam (tests)
};

// Saves the record; never throws, reports each failure through `prompts`. Afterwards
// both removal requests are clear, and diskName equals fileName unless the rename failed.
void SaveRecord(Mp3FileRecord& record, UserPrompts& prompts, SaveFaults* faults = nullptr);

// Opens `path` and runs the two tag steps; does not open the file when nothing in
// the tag changed and no removal is requested.
void SaveTags(SaveContext& context, std::u16string_view path, bool removeV1, bool removeV2,
              UserPrompts& prompts);

// Renames `from` to `to` without ever replacing an existing file. False with the
// system error in `error` on failure.
bool RenameNoReplace(std::u16string_view from, std::u16string_view to, int& error);

}  // namespace quorvane
