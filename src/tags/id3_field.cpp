#include "tags/id3_field.h"

#include "library/settings_store.h"
#include "platform/text_codec.h"
#include "tags/id3_text.h"

namespace quorvane {

uint8_t CurrentEncoding(bool v24) {
    const uint32_t setting = settings::Encoding();
    if (setting > 3) return 0;
    // v2.3 knows only encodings 0 and 1.
    if (!v24 && setting >= 2) return 0;
    return static_cast<uint8_t>(setting);
}

RenderContext MakeRenderContext(bool v24) {
    RenderContext context;
    context.v24 = v24;
    context.encoding = CurrentEncoding(v24);
    return context;
}

// --- CAsciiField

void CAsciiField::SetValue(std::string_view value) {
    if (value_ == value) return;
    value_ = std::string(value);
    MarkChanged();
}

void CAsciiField::SetValue(std::u16string_view value) { SetValue(std::string_view(ToCodePage(value))); }

void CAsciiField::Render(const RenderContext&, std::vector<uint8_t>& out) const {
    out.insert(out.end(), value_.begin(), value_.end());
}

uint32_t CAsciiField::RenderedSize(const RenderContext&) const { return static_cast<uint32_t>(value_.size()); }

bool CAsciiField::Equals(const CId3Field& other) const {
    return other.Kind() == Kind() && static_cast<const CAsciiField&>(other).value_ == value_;
}

// --- CTextField

std::unique_ptr<CTextField> CTextField::FromRaw(std::span<const uint8_t> bytes, uint8_t encoding) {
    const size_t end = id3text::FindTerminator(bytes, encoding);
    return std::make_unique<CTextField>(
        id3text::DecodeString(end == id3text::kNoTerminator ? bytes : bytes.first(end), encoding));
}

CTextField::CTextField(std::u16string text, std::vector<std::u16string> moreValues)
    : CId3Field(FieldKind::Text, true), text_(std::move(text)) {
    if (!moreValues.empty()) moreValues_ = std::make_unique<std::vector<std::u16string>>(std::move(moreValues));
}

const std::vector<std::u16string>& CTextField::MoreValues() const {
    static const std::vector<std::u16string> kNone;
    return moreValues_ ? *moreValues_ : kNone;
}

void CTextField::SetText(std::u16string_view text) {
    if (text_ == text) return;
    text_ = std::u16string(text);
    moreValues_.reset();
    MarkChanged();
}

void CTextField::Render(const RenderContext& context, std::vector<uint8_t>& out) const {
    id3text::AppendEncoded(text_, context.encoding, out);
    for (const auto& value : MoreValues()) {
        out.insert(out.end(), id3text::UnitSize(context.encoding), 0);
        id3text::AppendEncoded(value, context.encoding, out);
    }
}

uint32_t CTextField::RenderedSize(const RenderContext& context) const {
    size_t size = id3text::EncodedSizeBound(text_, context.encoding);
    for (const auto& value : MoreValues())
        size += id3text::UnitSize(context.encoding) + id3text::EncodedSizeBound(value, context.encoding);
    return static_cast<uint32_t>(size);
}

bool CTextField::Equals(const CId3Field& other) const {
    if (other.Kind() != Kind()) return false;
    const auto& text = static_cast<const CTextField&>(other);
    return text.text_ == text_ && text.MoreValues() == MoreValues();
}

// --- CEncodingField

CEncodingField& CEncodingField::Shared() {
    static CEncodingField instance;
    return instance;
}

FieldPtr SharedEncodingField() { return FieldPtr(&CEncodingField::Shared()); }

void CEncodingField::Render(const RenderContext& context, std::vector<uint8_t>& out) const {
    out.push_back(context.encoding);
}

uint32_t CEncodingField::RenderedSize(const RenderContext&) const { return 1; }

bool CEncodingField::Equals(const CId3Field& other) const { return other.Kind() == Kind(); }

// --- CDataField

CDataField::CDataField(std::span<const uint8_t> bytes, FieldKind kind)
    : CId3Field(kind, true), data_(bytes.begin(), bytes.end()) {}

void CDataField::SetData(std::span<const uint8_t> bytes) {
    if (std::equal(data_.begin(), data_.end(), bytes.begin(), bytes.end())) return;
    data_.assign(bytes.begin(), bytes.end());
    MarkChanged();
}

void CDataField::Render(const RenderContext&, std::vector<uint8_t>& out) const {
    out.insert(out.end(), data_.begin(), data_.end());
}

uint32_t CDataField::RenderedSize(const RenderContext&) const { return static_cast<uint32_t>(data_.size()); }

bool CDataField::Equals(const CId3Field& other) const {
    return other.Kind() == Kind() && static_cast<const CDataField&>(other).data_ == data_;
}

// --- CPictureField

PictureFormat PictureFormatFromMime(std::string_view mime) {
    std::string lowered;
    for (char c : mime) lowered.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
    std::string_view type = lowered;
    if (type.starts_with("image/")) type.remove_prefix(6);
    if (type == "jpg" || type == "jpeg") return PictureFormat::Jpeg;
    if (type == "png") return PictureFormat::Png;
    return PictureFormat::None;
}

CPictureField::CPictureField(std::span<const uint8_t> bytes, const CAsciiField* mimeType)
    : CDataField(bytes, FieldKind::Data), mimeType_(mimeType) {
    PreviewRequested();
}

void CPictureField::SetData(std::span<const uint8_t> bytes) {
    CDataField::SetData(bytes);
    if (IsChanged()) PreviewRequested();
}

PictureFormat CPictureField::PreviewFormat() const {
    if (data_.empty() || !mimeType_) return PictureFormat::None;
    return PictureFormatFromMime(mimeType_->Value());
}

void CPictureField::PreviewRequested() { ++previewRequests_; }

// --- CTerminatorField

void CTerminatorField::Render(const RenderContext& context, std::vector<uint8_t>& out) const {
    const size_t width = Kind() == FieldKind::EncodedTerminator && context.WideTerminator() ? 2 : 1;
    out.insert(out.end(), width, 0);
}

uint32_t CTerminatorField::RenderedSize(const RenderContext& context) const {
    return context.WideTerminator() ? 2 : 1;
}

bool CTerminatorField::Equals(const CId3Field& other) const { return other.Kind() == Kind(); }

}  // namespace quorvane
