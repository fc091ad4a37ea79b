#include "tags/id3_frame.h"

#include <algorithm>

namespace quorvane {

namespace {

// The frame of each family, its fields held in it, in the order of the family's layout
// (frame_layout.cpp). The encoding field is the one shared instance, which holds nothing.
class TextFrame final : public Id3Frame {
public:
    TextFrame(FrameId id, uint16_t flags) : Id3Frame(id, {}, flags, FrameFamily::Text) {
        SetFields(fields_);
    }

private:
    TextField text_{std::u16string()};
    const std::array<Id3Field*, 2> fields_{&EncodingField::Shared(), &text_};
};

class CommentFrame final : public Id3Frame {
public:
    CommentFrame(FrameId id, uint16_t flags) : Id3Frame(id, {}, flags, FrameFamily::Comment) {
        SetFields(fields_);
    }

private:
    AsciiField language_{std::string()};
    TextField description_{std::u16string()};
    TerminatorField terminator_{FieldKind::EncodedTerminator};
    TextField text_{std::u16string()};
    const std::array<Id3Field*, 5> fields_{&EncodingField::Shared(), &language_, &description_, &terminator_, &text_};
};

class PictureFrame final : public Id3Frame {
public:
    PictureFrame(FrameId id, uint16_t flags) : Id3Frame(id, {}, flags, FrameFamily::Picture) {
        SetFields(fields_);
    }

private:
    AsciiField mimeType_{std::string()};
    TerminatorField mimeTerminator_{FieldKind::ByteTerminator};
    static constexpr uint8_t kOther[1] = {0};
    DataField pictureType_{kOther, FieldKind::Data};
    TextField description_{std::u16string()};
    TerminatorField terminator_{FieldKind::EncodedTerminator};
    PictureField data_{std::span<const uint8_t>()};
    const std::array<Id3Field*, 7> fields_{&EncodingField::Shared(), &mimeType_, &mimeTerminator_, &pictureType_,
                                           &description_, &terminator_, &data_};
};

class RawFrame final : public Id3Frame {
public:
    RawFrame(FrameId id, std::string_view unknownId, uint16_t flags)
        : Id3Frame(id, unknownId, flags, FrameFamily::Raw) {
        SetFields(fields_);
    }

private:
    DataField body_{std::span<const uint8_t>(), FieldKind::RawBody};
    const std::array<Id3Field*, 1> fields_{&body_};
};

}  // namespace

Id3Frame::Id3Frame(FrameId id, std::string_view unknownId, uint16_t flags, FrameFamily family)
    : id_(id), flags_(flags), family_(family) {
    std::copy_n(unknownId.begin(), std::min<size_t>(unknownId.size(), 4), unknownId_.begin());
}

std::unique_ptr<Id3Frame> Id3Frame::Make(FrameId id, uint16_t flags) {
    return Make(id, flags, FamilyOf(ToV24Id(id)));
}

std::unique_ptr<Id3Frame> Id3Frame::Make(FrameId id, uint16_t flags, FrameFamily family) {
    id = ToV24Id(id);
    switch (family) {
        case FrameFamily::Text: return std::make_unique<TextFrame>(id, flags);
        case FrameFamily::Comment: return std::make_unique<CommentFrame>(id, flags);
        case FrameFamily::Picture: return std::make_unique<PictureFrame>(id, flags);
        case FrameFamily::Raw: break;
    }
    return std::make_unique<RawFrame>(id, std::string_view(), flags);
}

std::unique_ptr<Id3Frame> Id3Frame::MakeUnknown(std::string_view letters, uint16_t flags) {
    return std::make_unique<RawFrame>(kFrameUnknown, letters, flags);
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
    return index < 0 ? nullptr : fields_[static_cast<size_t>(index)];
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
        const auto it = std::find(fields_.begin(), fields_.end(), after);
        if (it == fields_.end()) return nullptr;
        start = static_cast<size_t>(it - fields_.begin()) + 1;
    }
    for (size_t i = start; i < fields_.size(); ++i)
        if (fields_[i]->Kind() == kind) return fields_[i];
    return nullptr;
}

void Id3Frame::KeepStoredBody(std::vector<uint8_t> body) {
    storedBody_ = std::make_unique<std::vector<uint8_t>>(std::move(body));
}

void Id3Frame::MarkRead(uint8_t major) {
    readMajor_ = major;
    // The shared encoding field holds nothing and is never edited (nor written here,
    // which other threads' frames share).
    for (Id3Field* field : fields_)
        if (field->IsOwnedByFrame()) field->MarkRead();
}

bool Id3Frame::IsEdited() const {
    return readMajor_ == 0 ||
           std::any_of(fields_.begin(), fields_.end(), [](const Id3Field* field) { return field->IsEdited(); });
}

void Id3Frame::SetChanged(bool changed) {
    for (Id3Field* field : fields_) field->SetChanged(changed);
}

bool Id3Frame::HasChanged() const {
    return std::any_of(fields_.begin(), fields_.end(), [](const Id3Field* field) { return field->IsChanged(); });
}

std::unique_ptr<Id3Frame> MakeTextFrame(FrameId id, std::u16string_view text) {
    auto frame = Id3Frame::Make(id, 0, FrameFamily::Text);
    frame->Text()->SetText(text);
    return frame;
}

std::unique_ptr<Id3Frame> MakeCommentFrame(std::string language, std::u16string_view description,
                                           std::u16string_view text) {
    auto frame = Id3Frame::Make(kFrameCOMM);
    frame->Ascii(FieldRole::Language)->SetValue(language);
    frame->Text(FieldRole::Description)->SetText(description);
    frame->Text(FieldRole::Text)->SetText(text);
    return frame;
}

std::unique_ptr<Id3Frame> MakePictureFrame(uint8_t pictureType, std::string mimeType,
                                           std::u16string_view description, std::span<const uint8_t> data) {
    auto frame = Id3Frame::Make(kFrameAPIC);
    frame->Ascii(FieldRole::MimeType)->SetValue(mimeType);
    frame->Data(FieldRole::PictureType)->SetData(std::span<const uint8_t>(&pictureType, 1));
    frame->Text(FieldRole::Description)->SetText(description);
    frame->Data(FieldRole::PictureData)->SetData(data);
    return frame;
}

}  // namespace quorvane
