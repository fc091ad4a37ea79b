#pragma once
// The typed fields a frame body is made of. Each field renders its own bytes; a frame
// body is its fields rendered in order. Texts are held as UTF-16 and encoded only when
// the tag is rendered, in the one encoding chosen for the whole tag.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_codec.h"

namespace quorvane {

enum class FieldKind : uint32_t {
    Ascii = 0,
    Text = 1,
    Encoding = 2,
    Data = 3,
    EncodedTerminator = 4,
    ByteTerminator = 5,
    RawBody = 6,
};

// What a render needs to know: the text encoding byte, the version written and the code
// page of encoding 0.
struct RenderContext {
    uint8_t encoding = 0;  // 0 code page, 1 UTF-16 with BOM, 2 UTF-16 without BOM, 3 UTF-8
    bool v24 = true;
    const CodePage* codePage = &CodePage::System();
    bool WideTerminator() const { return encoding == 1 || encoding == 2; }
};

// The encoding byte for a tag of the given version from the "Encoding" index: encodings
// 2 and 3 exist only in v2.4 and fall back to 0 in v2.3; indexes above 3 read as 0.
uint8_t CurrentEncoding(uint32_t encodingIndex, bool v24);

class Id3Field {
public:
    virtual ~Id3Field() = default;
    Id3Field(const Id3Field&) = delete;
    Id3Field& operator=(const Id3Field&) = delete;

    FieldKind Kind() const { return kind_; }
    bool IsChanged() const { return changed_; }
    virtual void SetChanged(bool changed) { changed_ = changed; }
    // Appends the field's bytes.
    virtual void Render(const RenderContext& context, std::vector<uint8_t>& out) const = 0;
    // The room Render needs (an upper bound for UTF-8).
    virtual uint32_t RenderedSize(const RenderContext& context) const = 0;
    virtual bool Equals(const Id3Field& other) const = 0;
    // Every field but the shared encoding field belongs to its frame.
    virtual bool IsOwnedByFrame() const { return true; }

protected:
    Id3Field(FieldKind kind, bool changed) : kind_(kind), changed_(changed) {}
    void MarkChanged() { SetChanged(true); }

private:
    FieldKind kind_;
    bool changed_;
};

// Deletes a field only when its frame owns it, so the shared encoding field can sit in
// a frame's list like any other.
struct FieldDeleter {
    void operator()(Id3Field* field) const {
        if (field && field->IsOwnedByFrame()) delete field;
    }
};
using FieldPtr = std::unique_ptr<Id3Field, FieldDeleter>;

template <class T, class... Args>
FieldPtr MakeField(Args&&... args) {
    return FieldPtr(new T(std::forward<Args>(args)...));
}

// 8-bit bytes written as they are (COMM language, APIC MIME type).
class AsciiField final : public Id3Field {
public:
    explicit AsciiField(std::string value) : Id3Field(FieldKind::Ascii, true), value_(std::move(value)) {}
    const std::string& Value() const { return value_; }
    void SetValue(std::string_view value);
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const Id3Field& other) const override;

private:
    std::string value_;
};

// A UTF-16 text. Values after the first (zero-separated in the file) are kept while the
// text is not changed, and written back after it.
class TextField final : public Id3Field {
public:
    explicit TextField(std::u16string text, std::vector<std::u16string> moreValues = {});

    const std::u16string& Text() const { return text_; }
    const std::vector<std::u16string>& MoreValues() const;
    // Takes the text only if it differs; a new text replaces every value.
    void SetText(std::u16string_view text);
    // Takes the values as read, without comparing.
    void Assign(std::u16string text, std::vector<std::u16string> moreValues);
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const Id3Field& other) const override;

private:
    std::u16string text_;
    // Held only when there are more values, which few frames have.
    std::unique_ptr<std::vector<std::u16string>> moreValues_;
};

// The encoding byte: one shared instance, never owned by a frame, never changed.
class EncodingField final : public Id3Field {
public:
    static EncodingField& Shared();
    void SetChanged(bool) override {}
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const Id3Field& other) const override;
    bool IsOwnedByFrame() const override { return false; }

private:
    EncodingField() : Id3Field(FieldKind::Encoding, false) {}
};
// The shared encoding field, ready for a frame's field list.
FieldPtr SharedEncodingField();

// Bytes: a picture type byte (kind Data) or a whole body kept as read (kind RawBody).
class DataField : public Id3Field {
public:
    DataField(std::span<const uint8_t> bytes, FieldKind kind);
    const std::vector<uint8_t>& Data() const { return data_; }
    // Copies the bytes only if they differ.
    void SetData(std::span<const uint8_t> bytes);
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const Id3Field& other) const override;

private:
    std::vector<uint8_t> data_;
};

// APIC picture data: the image bytes as stored. Previews are made from them on demand,
// by whoever shows them.
class PictureField final : public DataField {
public:
    explicit PictureField(std::span<const uint8_t> bytes) : DataField(bytes, FieldKind::Data) {}
};

// A terminator after a text: as wide as the tag's text encoding (EncodedTerminator), or
// one zero byte (ByteTerminator, after the MIME type).
class TerminatorField final : public Id3Field {
public:
    explicit TerminatorField(FieldKind kind) : Id3Field(kind, true) {}
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const Id3Field& other) const override;
};

}  // namespace quorvane
