#include "operations/picture_editor.h"

#include <utility>

#include "operations/set_pictures.h"
#include "tags/id3_tag.h"

namespace quorvane {

PictureEditor::PictureEditor(std::vector<RecordPtr> selection, uint8_t type)
    : selection_(std::move(selection)), openedType_(type < kPictureTypeCount ? type : 0) {
    SelectType(openedType_);
}

PictureEditor::PictureEditor(std::vector<RecordPtr> selection, const SharedPicture& picked)
    : selection_(std::move(selection)), openedType_(picked.type < kPictureTypeCount ? picked.type : 0) {
    type_ = openedType_;
    foundDescription_ = picked.description;
    if (picked.format != PictureFormat::None && !picked.bytes.empty()) image_ = {picked.bytes, picked.format};
    picked_ = picked;
}

void PictureEditor::SelectType(uint8_t type) {
    picked_.reset();
    type_ = type < kPictureTypeCount ? type : 0;
    foundDescription_.reset();
    image_ = {};
    newImage_ = false;
    const Id3Frame* frame = selection_.empty() ? nullptr : selection_.front()->Tag().FindPicture(type_);
    if (!frame) return;
    const TextField* description = frame->Text(FieldRole::Description);
    foundDescription_ = description ? description->Text() : std::u16string();
    const AsciiField* mime = frame->Ascii(FieldRole::MimeType);
    const DataField* data = frame->Data(FieldRole::PictureData);
    const PictureFormat format = mime ? PictureFormatFromMime(mime->Value()) : PictureFormat::None;
    if (format != PictureFormat::None && data && !data->Data().empty()) image_ = {data->Data(), format};
}

bool PictureEditor::LoadImage(std::u16string_view path, UserPrompts& prompts) {
    std::optional<ImageFile> loaded = LoadImageFile(path, prompts);
    if (!loaded) return false;
    image_ = std::move(*loaded);
    newImage_ = true;
    return true;
}

bool PictureEditor::Apply(std::u16string_view description, const EditGate& gate, UserPrompts& prompts) const {
    PictureChange change;
    change.type = type_;
    // The limit is for typing: a longer description another program wrote, shown and
    // left alone, is written back whole.
    change.description = foundDescription_ && description == *foundDescription_ ? std::u16string(description)
                                                                                : CutPictureDescription(description);
    if (newImage_) change.image = &image_;
    if (picked_) return SetListedPicture(selection_, *picked_, change, gate, prompts);
    return SetPictures(selection_, change, gate, prompts);
}

}  // namespace quorvane
