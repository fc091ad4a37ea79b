#pragma once
// The typed fields a frame body is made of. Each field renders its own bytes; a frame
// body is its fields rendered in order. Texts are held as UTF-16 and encoded when the
// tag is rendered; a field that was read and not edited since renders the bytes it was
// read from wherever the frame keeps its encoding.
#include <cstdint>
#include <memory>
#include <optional>
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
    // The value differs from what was read (a field made in memory always does). Unlike
    // the changed mark, saving does not clear it.
    bool IsEdited() const { return edited_; }
    // The value is the one read from the file.
    void MarkRead() { edited_ = false; }
    // Appends the field's bytes.
    virtual void Render(const RenderContext& context, std::vector<uint8_t>& out) const = 0;
    // The room Render needs (an upper bound for UTF-8).
    virtual uint32_t RenderedSize(const RenderContext& context) const = 0;
    virtual bool Equals(const Id3Field& other) const = 0;
    // Every field but the shared encoding field belongs to its frame (and is marked read
    // with it).
    virtual bool IsOwnedByFrame() const { return true; }

protected:
    Id3Field(FieldKind kind, bool changed) : kind_(kind), changed_(changed), edited_(changed) {}
    void MarkChanged() {
        SetChanged(true);
        edited_ = true;
    }

private:
    FieldKind kind_;
    bool changed_;
    bool edited_;
};

// 8-bit bytes written as they are (COMM language, APIC MIME type).
class AsciiField final : public Id3Field {
public:
    explicit AsciiField(std::string value) : Id3Field(FieldKind::Ascii, true), value_(std::move(value)) {}
    // The value as shown and compared (a language lower-cased, "eng" for one that is no code).
    const std::string& Value() const { return value_; }
    // The bytes a save writes: those read, until the value is edited.
    std::string_view Bytes() const { return readBytes_ ? std::string_view(*readBytes_) : value_; }
    // Takes the value only if it differs; the bytes read go with the old value.
    void SetValue(std::string_view value);
    // The value made of `bytes` as read; the bytes are kept when they differ from it.
    void AssignRead(std::string value, std::string_view bytes);
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const Id3Field& other) const override;

private:
    std::string value_;
    std::unique_ptr<std::string> readBytes_;
};

// A UTF-16 text. Values after the first (zero-separated in the file) are kept while the
// text is not changed, and written back after it.
class TextField final : public Id3Field {
public:
    explicit TextField(std::u16string text, std::vector<std::u16string> moreValues = {});

    const std::u16string& Text() const { return text_; }
    const std::vector<std::u16string>& MoreValues() const;
    // Takes the text only if it differs; a new text replaces every value and the form
    // it was read in.
    void SetText(std::u16string_view text);
    // Takes the values without comparing; they count as edited.
    void Assign(std::u16string text, std::vector<std::u16string> moreValues);
    // Takes the values decoded from `bytes` (the field's bytes in the body, without the
    // terminator of a terminated field) in `encoding`. The encoding is kept, and so are the
    // bytes when encoding the values again would not give them back (a big-endian mark, a
    // stray byte...); one terminator after the last value, as many writers add, is kept as
    // a mark instead.
    void AssignRead(std::u16string text, std::vector<std::u16string> moreValues, uint8_t encoding,
                    std::span<const uint8_t> bytes, const CodePage& codePage);
    // The encoding the text was read in; none once it is edited or when made in memory.
    std::optional<uint8_t> ReadEncoding() const;
    // Every value can be written in the code page.
    bool FitsCodePage(const CodePage& codePage) const;
    // The values in an encoding as a save writes them: the bytes read when the encoding
    // is the one read, else the values encoded and separated by terminators.
    void Render(const RenderContext& context, std::vector<uint8_t>& out) const override;
    uint32_t RenderedSize(const RenderContext& context) const override;
    bool Equals(const Id3Field& other) const override;

private:
    void AppendEncoded(uint8_t encoding, const CodePage& codePage, std::vector<uint8_t>& out) const;
    void ForgetReadForm();

    std::u16string text_;
    // Held only when there are more values, which few frames have.
    std::unique_ptr<std::vector<std::u16string>> moreValues_;
    static constexpr int8_t kNotRead = -1;
    int8_t readEncoding_ = kNotRead;
    // The bytes read were the values encoded and one terminator.
    bool readTerminated_ = false;
    // Held only when they differ from the values encoded again (and a terminator).
    std::unique_ptr<std::vector<uint8_t>> readBytes_;
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
