#include "library/save_record.h"

#include <string>

#include "library/mp3_file_record.h"
#include "platform/paths.h"
#include "platform/text_codec.h"
#include "platform/user_prompts.h"
#include "tags/id3_tag.h"
#include "tags/id3v2_writer.h"

namespace quorvane {

std::u16string OverlongTagText(std::u16string_view path, const V2Removal::Overlong& tag) {
    auto number = [](uint64_t n) { return U16(std::to_string(n)); };
    const std::u16string where = tag.offset == 0 ? u"at the start" : u"at byte " + number(tag.offset);
    return u"The ID3v2 tag " + where + u" of \"" + std::u16string(path) + u"\" was not removed: its header claims " +
           number(tag.claimed) + u" bytes, and only " + number(tag.available) +
           u" follow. The size may be damaged, so the bytes are left as they are.";
}

std::optional<V1Outcome> SaveTags(SaveContext& context, std::u16string_view path, bool removeV1, bool removeV2,
                                  UserPrompts& prompts, const TagWriteOptions& options) {
    if (!context.tag.IsChanged() && !removeV1 && !removeV2) return std::nullopt;
    uint32_t error = 0;
    if (!context.file.Open(path, OpenMode::Update, error)) {
        ShowFileError(prompts, u"Error when opening file", path, FileException{error});
        return std::nullopt;
    }
    std::optional<V1Outcome> v1;
    try {
        // ID3v1 first: its place is found from the end before the ID3v2 step may
        // move the audio, and once written only ID3v2 changes are left.
        if (removeV1) {
            v1 = RemoveV1(context.tag.V1(), context.file) ? V1Outcome::Removed : V1Outcome::Unchanged;
        } else {
            v1 = WriteV1(context.tag.V1(), context.file, options);
        }
        if (removeV2) {
            const V2Removal removal = RemoveV2(context.tag, context.file, path, options);
            if (removal.overlong) prompts.ShowError(ProgramTitle(), OverlongTagText(path, *removal.overlong));
        } else {
            WriteV2(context.tag, context.file, path, options);
        }
    } catch (const FileException& failure) {
        ShowFileError(prompts, u"Error when saving ID3 tags to", path, failure);
    }
    context.file.Close();
    return v1;
}

void SaveRecord(Mp3FileRecord& record, UserPrompts& prompts, const TagWriteOptions& options) {
    SaveContext context{record.tag_, BinaryFile{}};
    const auto v1 = SaveTags(context, record.DiskPath(), record.removeV1Requested_, record.removeV2Requested_,
                             prompts, options);
    // "Has an ID3v1 tag" follows what the ID3v1 step left on disk, so a later "Remove
    // ID3v1" finds a tag written in this session.
    if (v1 == V1Outcome::Written) record.hasV1_ = true;
    if (v1 == V1Outcome::Removed) record.hasV1_ = false;
    // The rename runs even when the tags could not be written, under the old name.
    if (record.fileName_ != record.diskName_) {
        int error = 0;
        if (RenameNoReplace(record.DiskPath(), record.FullPath(), error)) {
            record.diskName_ = record.fileName_;
        } else {
            prompts.ShowError(ProgramTitle(), u"Couldn't rename \"" + record.diskName_ + u"\" to \"" +
                                                  record.fileName_ + u"\".");
        }
    }
    record.removeV1Requested_ = false;
    record.removeV2Requested_ = false;
}

}  // namespace quorvane
