#include "tags/id3_frame.h"

#include <algorithm>

namespace quorvane {

CId3Frame::CId3Frame(FrameId id, uint16_t flags) : id_(ToV24Id(id)), flags_(flags) {}

CId3Frame::CId3Frame(std::string_view unknownId, uint16_t flags) : id_(kFrameUnknown), flags_(flags) {
    std::copy_n(unknownId.begin(), std::min<size_t>(unknownId.size(), 4), unknownId_.begin());
}

std::string_view CId3Frame::IdLetters() const {
    if (id_ == kFrameUnknown) return {unknownId_.data(), unknownId_.size()};
    return FrameIdName(id_);
}

bool CId3Frame::Equals(const CId3Frame& other) const {
    if (id_ != other.id_ || IdLetters() != other.IdLetters()) return false;
    const size_t common = std::min(fields_.size(), other.fields_.size());
    for (size_t i = 0; i < common; ++i)
        if (!fields_[i]->Equals(*other.fields_[i])) return false;
    return true;
}

CId3Field* CId3Frame::GetField(FieldKind kind, const CId3Field* after) const {
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

void CId3Frame::SetFields(std::vector<FieldPtr> fields) {
    if (fields.size() > kMaxFields) fields.resize(kMaxFields);
    std::erase_if(fields, [](const FieldPtr& field) { return !field; });
    fields_ = std::move(fields);
}

void CId3Frame::SetChanged(bool changed) {
    for (auto& field : fields_) field->SetChanged(changed);
}

bool CId3Frame::HasChanged() const {
    return std::any_of(fields_.begin(), fields_.end(), [](const FieldPtr& field) { return field->IsChanged(); });
}

CId3Field* CId3Frame::NthField(FieldKind kind, size_t n) const {
    CId3Field* field = GetField(kind);
    while (field && n > 0) {
        field = GetField(kind, field);
        --n;
    }
    return field;
}

CTextField* CId3Frame::TextField(size_t n) const {
    return static_cast<CTextField*>(NthField(FieldKind::Text, n));
}

CAsciiField* CId3Frame::AsciiField(size_t n) const {
    return static_cast<CAsciiField*>(NthField(FieldKind::Ascii, n));
}

CDataField* CId3Frame::DataField(size_t n) const {
    return static_cast<CDataField*>(NthField(FieldKind::Data, n));
}

CDataField* CId3Frame::RawBodyField() const { return static_cast<CDataField*>(GetField(FieldKind::RawBody)); }

}  // namespace quorvane
