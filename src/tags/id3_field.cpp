#include "tags/id3_field.h"

#include <algorithm>

#include "tags/id3_text.h"

namespace quorvane {

uint8_t CurrentEncoding(uint32_t encodingIndex, bool v24) {
    if (encodingIndex > 3) return 0;
    // v2.3 knows only encodings 0 and 1.
    if (!v24 && encodingIndex >= 2) return 0;
    return static_cast<uint8_t>(encodingIndex);
}

// --- AsciiField

void AsciiField::SetValue(std::string_view value) {
    if (value_ == value) return;
    value_ = std::string(value);
    readBytes_.reset();
    MarkChanged();
}

void AsciiField::AssignRead(std::string value, std::string_view bytes) {
    value_ = std::move(value);
    if (bytes != value_) readBytes_ = std::make_unique<std::string>(bytes);
    else readBytes_.reset();
    MarkChanged();
}

void AsciiField::Render(const RenderContext&, std::vector<uint8_t>& out) const {
    const std::string_view bytes = Bytes();
    out.insert(out.end(), bytes.begin(), bytes.end());
}

uint32_t AsciiField::RenderedSize(const RenderContext&) const { return static_cast<uint32_t>(Bytes().size()); }

bool AsciiField::Equals(const Id3Field& other) const {
    return other.Kind() == Kind() && static_cast<const AsciiField&>(other).value_ == value_;
}

// --- TextField

TextField::TextField(std::u16string text, std::vector<std::u16string> moreValues)
    : Id3Field(FieldKind::Text, true), text_(std::move(text)) {
    if (!moreValues.empty()) moreValues_ = std::make_unique<std::vector<std::u16string>>(std::move(moreValues));
}

const std::vector<std::u16string>& TextField::MoreValues() const {
    static const std::vector<std::u16string> kNone;
    return moreValues_ ? *moreValues_ : kNone;
}

void TextField::ForgetReadForm() {
    readEncoding_ = kNotRead;
    readTerminated_ = false;
    readBytes_.reset();
}

void TextField::SetText(std::u16string_view text) {
    if (text_ == text) return;
    text_ = std::u16string(text);
    moreValues_.reset();
    ForgetReadForm();
    MarkChanged();
}

void TextField::Assign(std::u16string text, std::vector<std::u16string> moreValues) {
    text_ = std::move(text);
    if (moreValues.empty()) moreValues_.reset();
    else moreValues_ = std::make_unique<std::vector<std::u16string>>(std::move(moreValues));
    ForgetReadForm();
    MarkChanged();
}

void TextField::AssignRead(std::u16string text, std::vector<std::u16string> moreValues, uint8_t encoding,
                           std::span<const uint8_t> bytes, const CodePage& codePage) {
    Assign(std::move(text), std::move(moreValues));
    readEncoding_ = static_cast<int8_t>(encoding);
    switch (id3text::CompareEncoded(text_, MoreValues(), encoding, codePage, bytes)) {
        case id3text::EncodedMatch::Same: break;
        case id3text::EncodedMatch::SameAndTerminator: readTerminated_ = true; break;
        case id3text::EncodedMatch::Different:
            readBytes_ = std::make_unique<std::vector<uint8_t>>(bytes.begin(), bytes.end());
            break;
    }
}

std::optional<uint8_t> TextField::ReadEncoding() const {
    if (readEncoding_ == kNotRead) return std::nullopt;
    return static_cast<uint8_t>(readEncoding_);
}

bool TextField::FitsCodePage(const CodePage& codePage) const {
    if (!codePage.CanEncode(text_)) return false;
    for (const auto& value : MoreValues())
        if (!codePage.CanEncode(value)) return false;
    return true;
}

void TextField::AppendEncoded(uint8_t encoding, const CodePage& codePage, std::vector<uint8_t>& out) const {
    id3text::AppendEncoded(text_, encoding, codePage, out);
    for (const auto& value : MoreValues()) {
        out.insert(out.end(), id3text::UnitSize(encoding), 0);
        id3text::AppendEncoded(value, encoding, codePage, out);
    }
}

void TextField::Render(const RenderContext& context, std::vector<uint8_t>& out) const {
    if (readEncoding_ == context.encoding) {
        if (readBytes_) {
            out.insert(out.end(), readBytes_->begin(), readBytes_->end());
            return;
        }
        AppendEncoded(context.encoding, *context.codePage, out);
        if (readTerminated_) out.insert(out.end(), id3text::UnitSize(context.encoding), 0);
        return;
    }
    AppendEncoded(context.encoding, *context.codePage, out);
}

uint32_t TextField::RenderedSize(const RenderContext& context) const {
    const bool asRead = readEncoding_ == context.encoding;
    if (asRead && readBytes_) return static_cast<uint32_t>(readBytes_->size());
    size_t size = id3text::EncodedSizeBound(text_, context.encoding, *context.codePage);
    for (const auto& value : MoreValues())
        size += id3text::UnitSize(context.encoding) + id3text::EncodedSizeBound(value, context.encoding, *context.codePage);
    if (asRead && readTerminated_) size += id3text::UnitSize(context.encoding);
    return static_cast<uint32_t>(size);
}

bool TextField::Equals(const Id3Field& other) const {
    if (other.Kind() != Kind()) return false;
    const auto& text = static_cast<const TextField&>(other);
    return text.text_ == text_ && text.MoreValues() == MoreValues();
}

// --- EncodingField

EncodingField& EncodingField::Shared() {
    static EncodingField instance;
    return instance;
}

void EncodingField::Render(const RenderContext& context, std::vector<uint8_t>& out) const {
    out.push_back(context.encoding);
}

uint32_t EncodingField::RenderedSize(const RenderContext&) const { return 1; }

bool EncodingField::Equals(const Id3Field& other) const { return other.Kind() == Kind(); }

// --- DataField

DataField::DataField(std::span<const uint8_t> bytes, FieldKind kind)
    : Id3Field(kind, true), data_(bytes.begin(), bytes.end()) {}

void DataField::SetData(std::span<const uint8_t> bytes) {
    if (std::equal(data_.begin(), data_.end(), bytes.begin(), bytes.end())) return;
    data_.assign(bytes.begin(), bytes.end());
    MarkChanged();
}

void DataField::Render(const RenderContext&, std::vector<uint8_t>& out) const {
    out.insert(out.end(), data_.begin(), data_.end());
}

uint32_t DataField::RenderedSize(const RenderContext&) const { return static_cast<uint32_t>(data_.size()); }

bool DataField::Equals(const Id3Field& other) const {
    return other.Kind() == Kind() && static_cast<const DataField&>(other).data_ == data_;
}

// --- TerminatorField

void TerminatorField::Render(const RenderContext& context, std::vector<uint8_t>& out) const {
    const size_t width = Kind() == FieldKind::EncodedTerminator && context.WideTerminator() ? 2 : 1;
    out.insert(out.end(), width, 0);
}

uint32_t TerminatorField::RenderedSize(const RenderContext& context) const {
    return context.WideTerminator() ? 2 : 1;
}

bool TerminatorField::Equals(const Id3Field& other) const { return other.Kind() == Kind(); }

}  // namespace quorvane
