#include "export/picture_export.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "export/export_file.h"
#include "platform/binary_file.h"
#include "platform/file_rewrite.h"
#include "platform/paths.h"
#include "platform/text_codec.h"
#include "platform/user_prompts.h"
#include "tags/id3_tag.h"

namespace quorvane {
namespace {

// Enough for any real collision; beyond it the export reports the name as taken.
constexpr unsigned kMaxCopies = 10000;

// A picture frame whose image bytes the program holds (not one kept raw, compressed or
// encrypted, whose bytes are no image).
bool IsExportable(const Id3Frame& frame) {
    return frame.Id() == kFrameAPIC && frame.Family() == FrameFamily::Picture && frame.Data(FieldRole::PictureData);
}

std::string MimeTypeOf(const Id3Frame& frame) {
    const AsciiField* mime = frame.Ascii(FieldRole::MimeType);
    return mime ? mime->Value() : std::string();
}

bool Exists(const std::u16string& path) {
    struct stat st {};
    return ::lstat(PathToNative(path).c_str(), &st) == 0;
}

// Writes one picture under the first free name; reports a failure and returns false.
bool WritePicture(const std::u16string& directory, const std::u16string& base, const std::u16string& extension,
                  std::span<const uint8_t> data, UserPrompts& prompts, std::u16string& written) {
    BinaryFile file;
    std::u16string path;
    uint32_t error = EEXIST;
    // O_EXCL: an existing name (a file, a link, anything) is never opened, only skipped.
    for (unsigned copy = 1; copy <= kMaxCopies && error == EEXIST; ++copy) {
        path = JoinPath(directory, PictureFileName(base, extension, copy));
        if (file.Open(path, OpenMode::CreateNew, error)) break;
    }
    if (!file.IsOpen()) {
        ShowFileError(prompts, kErrorOpeningFile, path, FileException{error});
        return false;
    }
    try {
        WriteBytes(file, data.data(), data.size());
        if (!file.Close()) throw FileException{static_cast<uint32_t>(errno)};
    } catch (const FileException& failure) {
        file.Close();
        ::unlink(PathToNative(path).c_str());
        ShowFileError(prompts, kErrorWritingFile, path, failure);
        return false;
    }
    written = path;
    return true;
}

}  // namespace

std::u16string PictureExtension(std::string_view mimeType) {
    // The MIME type is 8-bit text, one character a byte.
    std::u16string lowered;
    lowered.reserve(mimeType.size());
    for (const char c : mimeType) lowered.push_back(ToLowerChar(static_cast<unsigned char>(c)));
    std::u16string_view rest = lowered;
    if (rest.starts_with(u"image/")) rest.remove_prefix(6);
    if (rest == u"jpeg") rest = u"jpg";
    return ReplaceFileNameCharacters(rest);
}

std::u16string PictureBaseName(std::u16string_view fileName, uint8_t pictureType) {
    std::u16string base(fileName);
    base += u" - ";
    base += PictureTypeName(pictureType);
    return ReplaceFileNameCharacters(base);
}

std::u16string PictureFileName(std::u16string_view base, std::u16string_view extension, unsigned copy) {
    std::u16string name(base);
    if (copy >= 2) name += u" (" + U16(std::to_string(copy)) + u")";
    name += u'.';
    name += extension;
    return name;
}

bool CheckPicturesToExport(std::span<const RecordPtr> targets, UserPrompts& prompts) {
    if (targets.empty()) return false;
    for (const RecordPtr& record : targets) {
        for (const auto& frame : record->Tag().Frames()) {
            if (IsExportable(*frame)) return true;
        }
    }
    prompts.ShowError(ProgramTitle(), targets.size() == 1 ? kNoImagesInFile : kNoImagesInFiles);
    return false;
}

PictureExportResult ExportPictures(std::span<const RecordPtr> targets, std::u16string_view directory,
                                   UserPrompts& prompts, bool dryRun) {
    PictureExportResult result;
    const std::u16string dir(directory);
    std::set<std::u16string> planned;  // names a dry run has given out
    for (auto record = targets.rbegin(); record != targets.rend(); ++record) {
        for (const auto& frame : (*record)->Tag().Frames()) {
            if (!IsExportable(*frame)) continue;
            const std::u16string base = PictureBaseName((*record)->FileName(), PictureTypeOf(*frame));
            const std::u16string extension = PictureExtension(MimeTypeOf(*frame));
            if (dryRun) {
                std::u16string path;
                for (unsigned copy = 1; copy <= kMaxCopies; ++copy) {
                    path = JoinPath(dir, PictureFileName(base, extension, copy));
                    if (!planned.contains(path) && !Exists(path)) break;
                }
                planned.insert(path);
                result.written.push_back(path);
                continue;
            }
            std::u16string written;
            const auto& data = frame->Data(FieldRole::PictureData)->Data();
            if (WritePicture(dir, base, extension, data, prompts, written)) {
                result.written.push_back(std::move(written));
            } else {
                ++result.failures;
            }
        }
    }
    return result;
}

}  // namespace quorvane
