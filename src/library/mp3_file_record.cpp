#include "library/mp3_file_record.h"

#include "mp3/mpeg_stream.h"
#include "platform/binary_file.h"
#include "platform/user_prompts.h"
#include "tags/id3v1.h"
#include "tags/id3v2_reader.h"

namespace quorvane {

const std::u16string& SharedText::Empty() {
    static const std::u16string kEmpty;
    return kEmpty;
}

Mp3FileRecord::Mp3FileRecord(SharedText directory, std::u16string name, SharedText rootDirectory)
    : diskName_(name), fileName_(std::move(name)), directory_(std::move(directory)),
      rootDirectory_(std::move(rootDirectory)) {}

bool Mp3FileRecord::NeedsSaving() const {
    return tag_.IsChanged() || fileName_ != diskName_ || removeV1Requested_ || removeV2Requested_;
}

void Mp3FileRecord::SetFileName(std::u16string_view name) {
    if (name == fileName_) return;
    fileName_ = ReplaceFileNameCharacters(name);
}

bool Mp3FileRecord::LoadFile(UserPrompts& prompts, const LoadOptions& options) {
    const LoadResult result = Load(options);
    if (!result.error.empty()) prompts.ShowError(ProgramTitle(), result.error);
    return result.opened;
}

Mp3FileRecord::LoadResult Mp3FileRecord::Load(const LoadOptions& options) {
    const std::u16string path = FullPath();
    BinaryFile file;
    uint32_t error = 0;
    if (!file.OpenForLoading(path, error))
        return {false, FileErrorText(u"Error when opening file", path, FileException{error})};
    loadedFile_ = file.Identity();
    LoadResult result{true, {}};
    try {
        const uint64_t audioStart = ReadV2(tag_, file, options.tag);
        const MpegStreamInfo info = ReadStreamInfo(file, audioStart);
        stream_.bitrate = info.bitrate;
        stream_.vbr = info.vbr;
        stream_.duration = info.duration;
        hasV1_ = ReadV1(file, tag_.V1(), *options.tag.codePage);
        // What was read is the saved state.
        tag_.ClearChanged();
        tag_.V1().SetChanged(false);
        // Frames made from ID3v1 make the tag changed: the next save writes them.
        if (audioStart == 0 && options.autoConvertToV2) tag_.CopyFromV1();
    } catch (const FileException& failure) {
        result.error = FileErrorText(u"Error when parsing file", path, failure);
    }
    file.Close();
    return result;
}

void Mp3FileRecord::RequestRemoveV1() {
    if (hasV1_) {
        ClearV1(tag_.V1());
        removeV1Requested_ = true;
    } else {
        removeV1Requested_ = false;
    }
}

void Mp3FileRecord::RequestRemoveV2() {
    tag_.RemoveAllFrames();
    removeV2Requested_ = true;
}

}  // namespace quorvane
