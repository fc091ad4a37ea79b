#include "mp3/save_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "mp3/mp3_file_record.h"
#include "platform/text_codec.h"
#include "platform/user_prompts.h"
#include "tags/id3_tag.h"
#include "tags/id3v1.h"
#include "tags/id3v2_writer.h"

namespace quorvane {

bool RenameNoReplace(std::u16string_view from, std::u16string_view to, int& error) {
    const std::string source = PathToNative(from);
    const std::string target = PathToNative(to);
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    error = errno;
    if (error != EINVAL && error != ENOSYS) return false;
    // The file system cannot rename without replacing: a hard link fails when the
    // target exists, and the old name goes only once the new one is there.
    if (link(source.c_str(), target.c_str()) == 0) {
        if (unlink(source.c_str()) == 0) return true;
        error = errno;
        unlink(target.c_str());
        return false;
    }
    error = errno;
    if (error != EPERM && error != ENOSYS && error != EOPNOTSUPP) return false;
    // No hard links either (FAT): check, then rename; the window between is tiny.
    struct stat st {};
    if (lstat(target.c_str(), &st) == 0) {
        error = EEXIST;
        return false;
    }
    if (std::rename(source.c_str(), target.c_str()) == 0) return true;
    error = errno;
    return false;
}

void SaveTags(SaveContext& context, std::u16string_view path, bool removeV1, bool removeV2,
              UserPrompts& prompts) {
    if (!context.tag.IsChanged() && !removeV1 && !removeV2) return;
    uint32_t error = 0;
    if (!context.file.Open(path, BinaryFile::kSaveMode, error)) {
        ShowFileError(prompts, u"Error when opening file", path, CFileExceptionEx{error});
        return;
    }
    try {
        // ID3v1 first: its place is found from the end before the ID3v2 step may
        // move the audio, and once written only ID3v2 changes are left.
        if (removeV1) {
            RemoveV1(context.tag.V1(), context.file);
            context.tag.V1().SetChanged(false);
        } else {
            WriteV1(context.tag.V1(), context.file);
        }
        if (removeV2) {
            RemoveV2(context.tag, context.file, path, context.faults);
        } else {
            WriteV2(context.tag, context.file, path, context.faults);
        }
    } catch (const CFileExceptionEx& failure) {
        ShowFileError(prompts, u"Error when saving ID3 tags to", path, failure);
    }
    context.file.Close();
}

void SaveRecord(Mp3FileRecord& record, UserPrompts& prompts, SaveFaults* faults) {
    SaveContext context{record, BinaryFile{}, faults};
    SaveTags(context, record.DiskPath(), record.removeV1Requested, record.removeV2Requested, prompts);
    // The rename runs even when the tags could not be written, under the old name.
    if (record.fileName != record.diskName) {
        int error = 0;
        if (RenameNoReplace(record.DiskPath(), record.FullPath(), error)) {
            record.diskName = record.fileName;
        } else {
            prompts.ShowError(ProgramTitle(), u"Couldn't rename \"" + record.diskName + u"\" to \"" +
                                                  record.fileName + u"\".");
        }
    }
    record.removeV1Requested = false;
    record.removeV2Requested = false;
}

}  // namespace quorvane
