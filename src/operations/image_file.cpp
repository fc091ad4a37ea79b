#include "operations/image_file.h"

#include <cerrno>
#include <new>
#include <string>

#include "platform/binary_file.h"
#include "platform/text_codec.h"
#include "platform/user_prompts.h"
#include "tags/id3v2_write_plan.h"

namespace quorvane {
namespace {

bool EndsWithLowered(std::u16string_view name, std::u16string_view suffix) {
    if (name.size() < suffix.size()) return false;
    const std::u16string_view tail = name.substr(name.size() - suffix.size());
    for (size_t i = 0; i < tail.size(); ++i) {
        const char16_t c = tail[i];
        const char16_t lowered = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
        if (lowered != suffix[i]) return false;
    }
    return true;
}

}  // namespace

std::u16string ImageSizeQuestion() {
    return u"Image size is greater than " + U16(std::to_string(kImageConfirmSize >> 20)) + u" MB.\r\nContinue anyway?";
}

PictureFormat PictureFormatFromFileName(std::u16string_view name) {
    if (const size_t slash = name.rfind(u'/'); slash != std::u16string_view::npos) name.remove_prefix(slash + 1);
    if (name.size() < 5) return PictureFormat::None;
    if (EndsWithLowered(name, u".png")) return PictureFormat::Png;
    if (EndsWithLowered(name, u".jpg")) return PictureFormat::Jpeg;
    if (name.size() >= 6 && EndsWithLowered(name, u".jpeg")) return PictureFormat::Jpeg;
    return PictureFormat::None;
}

std::optional<size_t> FirstImageFile(std::span<const std::u16string> names) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (PictureFormatFromFileName(names[i]) != PictureFormat::None) return i;
    }
    return std::nullopt;
}

std::optional<ImageFile> LoadImageFile(std::u16string_view path, UserPrompts& prompts) {
    ImageFile image;
    image.format = PictureFormatFromFileName(path);
    if (image.format == PictureFormat::None) {
        prompts.ShowError(ProgramTitle(), kNotAnImageFile);
        return std::nullopt;
    }
    BinaryFile file;
    uint32_t error = 0;
    if (!file.Open(path, OpenMode::Read, error)) {
        ShowFileError(prompts, kImageOpenError, path, FileException{error});
        return std::nullopt;
    }
    try {
        const uint64_t size = file.GetSize();
        if (size == 0) {
            prompts.ShowError(ProgramTitle(), kImageFileEmpty);
            return std::nullopt;
        }
        // Checked before the size question: no answer could make such a picture fit.
        if (size > kV2MaxTagSize) {
            prompts.ShowError(ProgramTitle(), kImageTooLarge);
            return std::nullopt;
        }
        if (size > kImageConfirmSize && !prompts.AskYesNo(ProgramTitle(), ImageSizeQuestion())) return std::nullopt;
        image.bytes.resize(size);
        // A file that shrank meanwhile reads short: that is a read failure too.
        if (file.Read(image.bytes.data(), static_cast<uint32_t>(size)) != size) throw FileException{EIO};
    } catch (const FileException& e) {
        ShowFileError(prompts, kImageReadError, path, e);
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        ShowFileError(prompts, kImageReadError, path, FileException{ENOMEM});
        return std::nullopt;
    }
    return image;
}

}  // namespace quorvane
