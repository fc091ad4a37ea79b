#include "tags/id3_frame.h"

#include <algorithm>

namespace quorvane {

Id3Frame::Id3Frame(FrameId id, uint16_t flags) : Id3Frame(id, flags, FamilyOf(ToV24Id(id))) {}

Id3Frame::Id3Frame(FrameId id, uint16_t flags, FrameFamily family)
    : id_(ToV24Id(id)), flags_(flags), family_(family) {
    BuildFields();
}

Id3Frame::Id3Frame(std::string_view unknownId, uint16_t flags)
    : id_(kFrameUnknown), flags_(flags), family_(FrameFamily::Raw) {
    std::copy_n(unknownId.begin(), std::min<size_t>(unknownId.size(), 4), unknownId_.begin());
    BuildFields();
}

void Id3Frame::BuildFields() {
    const auto& specs = Layout().fields;
    fields_.reserve(specs.size());
    for (const FieldSpec& spec : specs) {
        switch (spec.kind) {
            case FieldKind::Encoding:
                fields_.push_back(SharedEncodingField());
                break;
            case FieldKind::Ascii:
                fields_.push_back(MakeField<AsciiField>(std::string()));
                break;
            case FieldKind::Text:
                fields_.push_back(MakeField<TextField>(std::u16string()));
                break;
            case FieldKind::Data:
                if (spec.role == FieldRole::PictureData) {
                    fields_.push_back(MakeField<PictureField>(std::span<const uint8_t>()));
                } else {
                    const std::vector<uint8_t> zeros(spec.width, 0);
                    fields_.push_back(MakeField<DataField>(zeros, FieldKind::Data));
                }
                break;
            case FieldKind::RawBody:
                fields_.push_back(MakeField<DataField>(std::span<const uint8_t>(), FieldKind::RawBody));
                break;
            case FieldKind::EncodedTerminator:
            case FieldKind::ByteTerminator:
                fields_.push_back(MakeField<TerminatorField>(spec.kind));
                break;
        }
    }
}

std::string_view Id3Frame::IdLetters() const {
    if (id_ == kFrameUnknown) return {unknownId_.data(), unknownId_.size()};
    return FrameIdName(id_);
}

bool Id3Frame::Equals(const Id3Frame& other) const {
    if (id_ != other.id_ || IdLetters() != other.IdLetters()) return false;
    const size_t common = std::min(fields_.size(), other.fields_.size());
    for (size_t i = 0; i < common; ++i)
        if (!fields_[i]->Equals(*other.fields_[i])) return false;
    return true;
}

Id3Field* Id3Frame::Field(FieldRole role) const {
    const int index = Layout().IndexOf(role);
    return index < 0 ? nullptr : fields_[static_cast<size_t>(index)].get();
}

TextField* Id3Frame::Text(FieldRole role) const {
    Id3Field* field = Field(role);
    return field && field->Kind() == FieldKind::Text ? static_cast<TextField*>(field) : nullptr;
}

AsciiField* Id3Frame::Ascii(FieldRole role) const {
    Id3Field* field = Field(role);
    return field && field->Kind() == FieldKind::Ascii ? static_cast<AsciiField*>(field) : nullptr;
}

DataField* Id3Frame::Data(FieldRole role) const {
    Id3Field* field = Field(role);
    return field && (field->Kind() == FieldKind::Data || field->Kind() == FieldKind::RawBody)
               ? static_cast<DataField*>(field)
               : nullptr;
}

Id3Field* Id3Frame::GetField(FieldKind kind, const Id3Field* after) const {
    size_t start = 0;
    if (after) {
        const auto it = std::find_if(fields_.begin(), fields_.end(),
                                     [after](const FieldPtr& field) { return field.get() == after; });
        if (it == fields_.end()) return nullptr;
        start = static_cast<size_t>(it - fields_.begin()) + 1;
    }
    for (size_t i = start; i < fields_.size(); ++i)
        if (fields_[i]->Kind() == kind) return fields_[i].get();
    return nullptr;
}

void Id3Frame::KeepStoredBody(std::vector<uint8_t> body) {
    storedBody_ = std::make_unique<std::vector<uint8_t>>(std::move(body));
}

void Id3Frame::MarkRead(uint8_t major) {
    readMajor_ = major;
    // The shared encoding field holds nothing and is never edited (nor written here,
    // which other threads' frames share).
    for (auto& field : fields_)
        if (field->IsOwnedByFrame()) field->MarkRead();
}

bool Id3Frame::IsEdited() const {
    return readMajor_ == 0 ||
           std::any_of(fields_.begin(), fields_.end(), [](const FieldPtr& field) { return field->IsEdited(); });
}

void Id3Frame::SetChanged(bool changed) {
    for (auto& field : fields_) field->SetChanged(changed);
}

bool Id3Frame::HasChanged() const {
    return std::any_of(fields_.begin(), fields_.end(), [](const FieldPtr& field) { return field->IsChanged(); });
}

std::unique_ptr<Id3Frame> MakeTextFrame(FrameId id, std::u16string_view text) {
    auto frame = std::make_unique<Id3Frame>(id, 0, FrameFamily::Text);
    frame->Text()->SetText(text);
    return frame;
}

std::unique_ptr<Id3Frame> MakeCommentFrame(std::string language, std::u16string_view description,
                                           std::u16string_view text) {
    auto frame = std::make_unique<Id3Frame>(kFrameCOMM);
    frame->Ascii(FieldRole::Language)->SetValue(language);
    frame->Text(FieldRole::Description)->SetText(description);
    frame->Text(FieldRole::Text)->SetText(text);
    return frame;
}

std::unique_ptr<Id3Frame> MakePictureFrame(uint8_t pictureType, std::string mimeType,
                                           std::u16string_view description, std::span<const uint8_t> data) {
    auto frame = std::make_unique<Id3Frame>(kFrameAPIC);
    frame->Ascii(FieldRole::MimeType)->SetValue(mimeType);
    frame->Data(FieldRole::PictureType)->SetData(std::span<const uint8_t>(&pictureType, 1));
    frame->Text(FieldRole::Description)->SetText(description);
    frame->Data(FieldRole::PictureData)->SetData(data);
    return frame;
}

}  // namespace quorvane
