#include "mp3/mp3_file_record.h"

#include "library/settings_store.h"
#include "mp3/binary_file.h"
#include "mp3/mpeg_stream.h"
#include "tags/id3v1.h"
#include "tags/id3v2_reader.h"

namespace quorvane {

std::u16string JoinPath(std::u16string_view directory, std::u16string_view name) {
    std::u16string path;
    path.reserve(directory.size() + 1 + name.size());
    path.append(directory);
    if (!directory.empty() && directory.back() != u'/') path.push_back(u'/');
    path.append(name);
    return path;
}

const std::u16string& SharedText::Empty() {
    static const std::u16string kEmpty;
    return kEmpty;
}

Mp3FileRecord::Mp3FileRecord(std::u16string directoryIn, std::u16string name, std::u16string rootDirectoryIn)
    : Mp3FileRecord(SharedText(std::move(directoryIn)), std::move(name), SharedText(std::move(rootDirectoryIn))) {}

Mp3FileRecord::Mp3FileRecord(SharedText directoryIn, std::u16string name, SharedText rootDirectoryIn)
    : diskName(name), fileName(std::move(name)), directory(std::move(directoryIn)),
      rootDirectory(std::move(rootDirectoryIn)) {}

bool Mp3FileRecord::NeedsSaving() const {
    return IsChanged() || fileName != diskName || removeV1Requested || removeV2Requested;
}

void Mp3FileRecord::LoadFile(UserPrompts& prompts) {
    const std::u16string path = FullPath();
    BinaryFile file;
    uint32_t error = 0;
    if (!file.OpenForLoading(path, error)) {
        ShowFileError(prompts, u"Error when opening file", path, CFileExceptionEx{error});
        return;
    }
    try {
        const uint64_t audioStart = ReadV2(*this, file);
        this->audioStart = static_cast<uint32_t>(audioStart);
        const MpegStreamInfo info = ReadStreamInfo(file, audioStart);
        bitrate = info.bitrate;
        isVbr = info.vbr;
        duration = info.duration;
        hasV1 = ReadV1(file, V1());
        // What was read is the saved state.
        ClearChanged();
        V1().SetChanged(false);
        // Frames made from ID3v1 make the tag changed: the next save writes them.
        if (audioStart == 0 && settings::AutoConvertToV2()) CopyFromV1();
    } catch (const CFileExceptionEx& failure) {
        ShowFileError(prompts, u"Error when parsing file", path, failure);
    }
    file.Close();
}

void RequestRemoveV1(Mp3FileRecord& record) {
    if (record.hasV1) {
        ClearV1(record.V1());
        record.removeV1Requested = true;
    } else {
        record.removeV1Requested = false;
    }
}

void RequestRemoveV2(Mp3FileRecord& record) {
    record.RemoveAllFrames();
    record.removeV2Requested = true;
}

}  // namespace quorvane
