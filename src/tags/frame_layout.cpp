#include "tags/frame_layout.h"

#include <array>

namespace quorvane {
namespace {

constexpr FieldSpec kTextFields[] = {
    {FieldKind::Encoding, FieldRole::Encoding, "encoding"},
    {FieldKind::Text, FieldRole::Text, "text"},
};

constexpr FieldSpec kCommentFields[] = {
    {FieldKind::Encoding, FieldRole::Encoding, "encoding"},
    {FieldKind::Ascii, FieldRole::Language, "language", 3},
    {FieldKind::Text, FieldRole::Description, "description"},
    {FieldKind::EncodedTerminator, FieldRole::Terminator, ""},
    {FieldKind::Text, FieldRole::Text, "text"},
};

constexpr FieldSpec kPictureFields[] = {
    {FieldKind::Encoding, FieldRole::Encoding, "encoding"},
    {FieldKind::Ascii, FieldRole::MimeType, "mime"},
    {FieldKind::ByteTerminator, FieldRole::Terminator, ""},
    {FieldKind::Data, FieldRole::PictureType, "type", 1},
    {FieldKind::Text, FieldRole::Description, "description"},
    {FieldKind::EncodedTerminator, FieldRole::Terminator, ""},
    {FieldKind::Data, FieldRole::PictureData, "data"},
};

constexpr FieldSpec kRawFields[] = {
    {FieldKind::RawBody, FieldRole::Body, "body"},
};

// Indexed by FrameFamily.
constexpr std::array<FrameLayout, 4> kLayouts = {{
    {FrameFamily::Text, kTextFields, EmptyRule::DropWhenEmpty, {}},
    {FrameFamily::Comment, kCommentFields, EmptyRule::DropWhenDefaulted, "eng"},
    {FrameFamily::Picture, kPictureFields, EmptyRule::Keep, {}},
    {FrameFamily::Raw, kRawFields, EmptyRule::Keep, {}},
}};

}  // namespace

int FrameLayout::IndexOf(FieldRole role) const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].role == role) return static_cast<int>(i);
    return -1;
}

FrameFamily FamilyOf(FrameId id) {
    if (IsTextFrameId(id)) return FrameFamily::Text;
    if (id == kFrameCOMM) return FrameFamily::Comment;
    if (id == kFrameAPIC) return FrameFamily::Picture;
    return FrameFamily::Raw;
}

const FrameLayout& LayoutOf(FrameFamily family) { return kLayouts[static_cast<size_t>(family)]; }

}  // namespace quorvane
