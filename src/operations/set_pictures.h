#pragma once
// Writing one picture type into every selected file at once: the "Edit Picture Tag"
// dialog's OK and the command-line tool's "picture add".
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "library/mp3_file_record.h"
#include "operations/image_file.h"
#include "operations/shared_pictures.h"

namespace quorvane {

class EditGate;
class UserPrompts;

// What the user may type as a description; texts other programs wrote may be longer.
inline constexpr size_t kPictureDescriptionLimit = 64;

// The description as typed, cut to the limit (never between the halves of a surrogate
// pair).
std::u16string CutPictureDescription(std::u16string_view typed);

struct PictureChange {
    uint8_t type = 0;  // 21 and more count as 0 ("Other")
    // Written into every file; none keeps each file's own description (empty for a new
    // picture).
    std::optional<std::u16string> description;
    // A newly chosen image (borrowed for the call), written with its MIME type into
    // every file. Null keeps each file's image and MIME type: only the description and
    // type change, and a file without a picture of the type gets none.
    const ImageFile* image = nullptr;
};

// An upper bound of the bytes the tag's frames take when written, in any version and
// text encoding.
uint64_t FramesSizeBound(const Id3Tag& tag);

// Whether a picture of `imageSize` bytes with a description of that many characters,
// put in place of the tag's picture of the type, leaves the tag within the 28-bit size
// of an ID3v2 tag (its padding included).
bool PictureFitsIntoTag(const Id3Tag& tag, uint8_t type, PictureFormat format, uint64_t imageSize,
                        size_t descriptionLength);
// The same with the picture put in place of `old` (a frame of the tag; null adds one).
bool PictureFitsInPlaceOf(const Id3Tag& tag, const Id3Frame* old, PictureFormat format, uint64_t imageSize,
                          size_t descriptionLength);

// Applies the change to every record. Refused, with one message and nothing changed,
// while a save covers any of the records, or when the new image would make a file's
// tag larger than an ID3v2 tag can be. False when refused.
bool SetPictures(std::span<const RecordPtr> records, const PictureChange& change, const EditGate& gate,
                 UserPrompts& prompts);

// The same for a picture the user picked in the Pictures tab, its type kept: in each file
// the frame that holds the picked picture changes (not the first of its type, which may
// be another); a file that no longer holds it is treated as by SetPictures.
bool SetListedPicture(std::span<const RecordPtr> records, const SharedPicture& picked, const PictureChange& change,
                      const EditGate& gate, UserPrompts& prompts);

}  // namespace quorvane
