#pragma once
// The "Edit Picture Tag" dialog without its widgets: the picture type it shows, what the
// first selected file holds of that type, an image loaded from a file, and OK.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/mp3_file_record.h"
#include "operations/image_file.h"
#include "operations/shared_pictures.h"

namespace quorvane {

class EditGate;
class UserPrompts;

class PictureEditor {
public:
    // The selection the dialog edits, and the type it opens with ("Add": 0, "Other").
    PictureEditor(std::vector<RecordPtr> selection, uint8_t type);
    // "Edit" on a picture the user picked: it opens with that picture (which need not be
    // the first of its type), and OK changes that picture until another type is picked.
    PictureEditor(std::vector<RecordPtr> selection, const SharedPicture& picked);

    // Shows the picture of `type` of the first selected file, as when the user picks a
    // type: an image loaded from a file before is discarded.
    void SelectType(uint8_t type);
    uint8_t Type() const { return type_; }
    // The type the dialog was opened with: "Save picture..." proposes its name.
    uint8_t OpenedType() const { return openedType_; }

    // The first file's description of the type; none when it has no such picture (the
    // description box then keeps its text).
    const std::optional<std::u16string>& FoundDescription() const { return foundDescription_; }

    // The image shown in the preview (the first file's picture when it is JPEG or PNG,
    // or one loaded from a file); empty when none. "Save picture..." needs one.
    std::span<const uint8_t> ImageBytes() const { return image_.bytes; }
    PictureFormat ImageFormat() const { return image_.format; }
    bool HasImage() const { return !image_.bytes.empty(); }
    // An image was loaded from a file since the type was last picked.
    bool HasNewImage() const { return newImage_; }

    // "Browse for new picture..." or a drop: the image file becomes the dialog's image.
    // False, with the message shown and the previous image kept, when it is refused.
    bool LoadImage(std::u16string_view path, UserPrompts& prompts);

    // OK with the text of "Description". A description typed by the user is cut to 64
    // characters; the one found unchanged is written as it is. Without a newly loaded
    // image each file keeps its own image bytes. False (the dialog stays open) when
    // refused.
    bool Apply(std::u16string_view description, const EditGate& gate, UserPrompts& prompts) const;

private:
    std::vector<RecordPtr> selection_;
    uint8_t openedType_;
    uint8_t type_ = 0;
    std::optional<std::u16string> foundDescription_;
    ImageFile image_;
    bool newImage_ = false;
    std::optional<SharedPicture> picked_;
};

}  // namespace quorvane
