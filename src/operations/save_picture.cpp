#include "operations/save_picture.h"

#include <cerrno>

#include "operations/image_file.h"
#include "operations/temp_image.h"
#include "platform/binary_file.h"
#include "platform/file_rewrite.h"
#include "platform/paths.h"
#include "platform/text_codec.h"
#include "platform/user_prompts.h"
#include "tags/id3_tag.h"

namespace quorvane {

std::u16string SavePictureName(uint8_t type) { return ReplaceFileNameCharacters(PictureTypeName(type)); }

std::u16string SavePictureFilter(PictureFormat format) {
    const std::u16string extension = U16(PictureExtension(format));
    return ToUpper(extension) + u" Images (*." + extension + u")";
}

std::u16string SavePicturePattern(PictureFormat format) { return u"*." + U16(PictureExtension(format)); }

bool WritePictureFile(std::u16string_view path, std::span<const uint8_t> bytes, UserPrompts& prompts) {
    if (bytes.empty()) {
        prompts.ShowError(ProgramTitle(), kImageEmpty);
        return false;
    }
    BinaryFile file;
    uint32_t error = 0;
    if (!file.Open(path, OpenMode::Replace, error)) {
        ShowFileError(prompts, kImageOpenError, path, FileException{error});
        return false;
    }
    try {
        WriteBytes(file, bytes.data(), bytes.size());
        file.Flush();
    } catch (const FileException& e) {
        ShowFileError(prompts, kImageWriteError, path, e);
        return false;
    }
    if (!file.Close()) {
        ShowFileError(prompts, kImageWriteError, path, FileException{EIO});
        return false;
    }
    return true;
}

}  // namespace quorvane
