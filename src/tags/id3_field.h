#pragma once
// The typed fields a frame body is made of. Each field renders its own bytes; a frame
// body is its fields rendered in order. Texts are held as UTF-16 and encoded only when
// the tag is rendered, in the one encoding that the settings choose for the whole tag.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// What a render needs to know: the text encoding byte and the version written.
struct RenderContext {
    uint8_t encoding = 0;  // 0 code page, 1 UTF-16 with BOM, 2 UTF-16BE, 3 UTF-8
    bool v24 = true;
    bool WideTerminator() const { return encoding == 1 || encoding == 2; }
};

// The encoding byte for a tag of the given version, from the setting "Encoding":
// encodings 2 and 3 exist only in v2.4 and fall back to 0 in v2.3.
uint8_t CurrentEncoding(bool v24);
RenderContext MakeRenderContext(bool v24);

class CId3Field {
public:
    virtual ~CId3Field() = default;
    CId3Field(const CId3Field&) = delete;
    CId3Field& operator=(const CId3Field&) = delete;

    FieldKind Kind() const { return kind_; }
    bool IsChanged() const { return changed_; }
    virtual void SetChanged(bool changed) { changed_ = changed; }
    // Appends the field's bytes.
    virtual void Render(const RenderContext& context, std::vector<uint8_t>& out) const = 0;
    // The room Render needs (an upper bound for UTF-8).
    virtual uint32_t RenderedSize(const RenderContext& context) const = 0;
    virtual bool Equals(const CId3Field& other) const = 0;
    // Every field but the shared encoding field belongs to its frame.
    virtual bool IsOwnedByFrame() const { return true; }

protected:
    CId3Field(FieldKind kind, bool changed) : kind_(kind), changed_(changed) {}
    void MarkChanged() { SetChanged(true); }

private:
    FieldKind kind_;
    bool changed_;
};

// Deletes a field only when its frame owns it, so the shared encoding field can sit in
// a frame's list like any other.
struct FieldDeleter {
    void operator()(CId3Field* field) const {
        if (field && field->IsOwnedByFrame()) delete field;
    }
};
using FieldPtr = std::unique_ptr<CId3Field, FieldDeleter>;

template <class T, class... Args>
FieldPtr MakeField(Args&&... args) {
    return FieldPtr(new T(std::forward<Args>(args)...));
}

// An 8-bit string in the code page (COMM language, APIC MIME type).
class CAsciiField final : public CId3Field {
public:
    explicit CAsciiField(std::string value) : CId3Field(FieldKind::Ascii, true), value_(std::move(value)) {}
    const std::string& Value() const { return value_; }
    void SetValue(std::string_view value);
    // Converted to the code page first.
    void SetValue(std::u16string_view value);
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const CId3Field& other) const override;

private:
    std::string value_;
};

// A UTF-16 text. Values after the first (zero-separated in the file) are kept while the
// text is not changed, and written back after it.
class CTextField final : public CId3Field {
public:
    explicit CTextField(std::u16string text, std::vector<std::u16string> moreValues = {});
    // Decodes a raw string in the given encoding byte up to its first terminator; UTF-16
    // honours a byte-order mark and otherwise takes the more plausible byte order.
    static std::unique_ptr<CTextField> FromRaw(std::span<const uint8_t> bytes, uint8_t encoding);

    const std::u16string& Text() const { return text_; }
    const std::vector<std::u16string>& MoreValues() const;
    // Takes the text only if it differs; a new text replaces every value.
    void SetText(std::u16string_view text);
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const CId3Field& other) const override;

private:
    std::u16string text_;
    // Held only when there are more values, which few frames have.
    std::unique_ptr<std::vector<std::u16string>> moreValues_;
};

// The encoding byte: one shared instance, never owned by a frame, never changed.
class CEncodingField final : public CId3Field {
public:
    static CEncodingField& Shared();
    void SetChanged(bool) override {}
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const CId3Field& other) const override;
    bool IsOwnedByFrame() const override { return false; }

private:
    CEncodingField() : CId3Field(FieldKind::Encoding, false) {}
};
// The shared encoding field, ready for a frame's field list.
FieldPtr SharedEncodingField();

// Bytes: a picture type byte (kind Data) or a whole body kept as read (kind RawBody).
class CDataField : public CId3Field {
public:
    CDataField(std::span<const uint8_t> bytes, FieldKind kind);
    const std::vector<uint8_t>& Data() const { return data_; }
    // Copies the bytes only if they differ.
    virtual void SetData(std::span<const uint8_t> bytes);
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const CId3Field& other) const override;

protected:
    std::vector<uint8_t> data_;
};

enum class PictureFormat { None, Jpeg, Png };
// The decoder a MIME type selects: lower-cased, "image/" removed, "jpeg" counted as "jpg".
PictureFormat PictureFormatFromMime(std::string_view mime);

// APIC picture data. It asks for a preview of its bytes when built and whenever new
// bytes arrive; the decoding pool answers that request.
class CPictureField final : public CDataField {
public:
    CPictureField(std::span<const uint8_t> bytes, const CAsciiField* mimeType);
    void SetData(std::span<const uint8_t> bytes) override;

    // The decoder the frame's MIME type selects (None without data).
    PictureFormat PreviewFormat() const;
    // How often a preview has been asked for (construction and every real change).
    uint32_t PreviewRequests() const { return previewRequests_; }

private:
    // The trigger point for preview decoding: the old preview is released here and,
    // when PreviewFormat() is not None, a decode of the current bytes is to be queued.
    // Decoding itself is not wired in yet; this only counts the request.
    void PreviewRequested();

    const CAsciiField* mimeType_;
    uint32_t previewRequests_ = 0;
};

// A terminator after a text: as wide as the tag's text encoding (EncodedTerminator), or
// one zero byte (ByteTerminator, after the MIME type).
class CTerminatorField final : public CId3Field {
public:
    explicit CTerminatorField(FieldKind kind) : CId3Field(kind, true) {}
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const CId3Field& other) const override;
};

}  // namespace quorvane
