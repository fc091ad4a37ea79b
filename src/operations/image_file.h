#pragma once
// Image files the user picks for a picture (browsed for, dropped, or named to the
// command-line tool): their format from the name, and reading one whole into memory.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tags/picture_format.h"

namespace quorvane {

class UserPrompts;

inline constexpr std::u16string_view kNotAnImageFile = u"File must be a JPG or PNG image!";
inline constexpr std::u16string_view kImageOpenError = u"Error when opening file";
inline constexpr std::u16string_view kImageFileEmpty = u"File is empty!";
inline constexpr std::u16string_view kImageReadError = u"Error when reading image";
inline constexpr std::u16string_view kImageTooLarge =
    u"Image is too large: an ID3v2 tag holds at most 256 MB.";
// Larger files are loaded only after the user confirms.
inline constexpr uint64_t kImageConfirmSize = 0x200000;  // 2 MB
// The question asked for them ("%u" is 2, the limit in MB).
std::u16string ImageSizeQuestion();

// The format a file's name gives: a name of at least five characters ending in ".png"
// or ".jpg", or of at least six ending in ".jpeg", any letter case; else None. Only the
// last component of a path counts.
PictureFormat PictureFormatFromFileName(std::u16string_view name);

// The file a drop loads: the first with a JPEG or PNG name; none when no file has one
// (the drop is refused then).
std::optional<size_t> FirstImageFile(std::span<const std::u16string> names);

struct ImageFile {
    std::vector<uint8_t> bytes;  // never empty
    PictureFormat format = PictureFormat::None;
};

// Reads an image file whole. A name that gives no format, a file that cannot be opened
// or read, an empty file or one no tag can hold is refused with its message; a file over
// 2 MB is read only when the user says Yes. Nothing on refusal.
std::optional<ImageFile> LoadImageFile(std::u16string_view path, UserPrompts& prompts);

}  // namespace quorvane
