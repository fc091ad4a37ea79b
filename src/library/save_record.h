#pragma once
// The per-file save: the ID3v1 step, then the ID3v2 step, then a pending rename.
#include <optional>
#include <string>
#include <string_view>

#include "platform/binary_file.h"
#include "tags/id3v1.h"
#include "tags/id3v2_writer.h"
#include "tags/tag_options.h"

namespace quorvane {

class Id3Tag;
class Mp3FileRecord;
class UserPrompts;

// The error shown when a removal leaves a tag whose header claims more than the file holds.
std::u16string OverlongTagText(std::u16string_view path, const V2Removal::Overlong& tag);

// One save of one record: its tag and the file it is written to.
struct SaveContext {
    Id3Tag& tag;
    BinaryFile file;
};

// Saves the record; never throws, reports each failure through `prompts`. Afterwards
// both removal requests are clear, and DiskName() equals FileName() unless the rename
// failed.
void SaveRecord(Mp3FileRecord& record, UserPrompts& prompts, const TagWriteOptions& options);

// Opens `path` and runs the two tag steps; does not open the file when nothing in the
// tag changed and no removal is requested. What the ID3v1 step left on disk, when it
// ran to its end.
std::optional<V1Outcome> SaveTags(SaveContext& context, std::u16string_view path, bool removeV1, bool removeV2,
                                  UserPrompts& prompts, const TagWriteOptions& options);

}  // namespace quorvane
