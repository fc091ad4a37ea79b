#pragma once
// One ID3v2 frame: a canonical identifier, the flags it was read with and the fields of
// its family's layout, in render order.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tags/frame_id.h"
#include "tags/frame_layout.h"
#include "tags/id3_field.h"

namespace quorvane {

// The per-frame format information of a frame as read. An encrypted body (and one that
// does not inflate) stays opaque: it is kept as read and written back with these flags
// in the layout of the version written. A compressed body is read inflated, and the
// bytes as stored are kept to be written back while the frame is not edited; a grouped
// frame keeps its group while it is not edited.
struct FrameFormat {
    bool compressed = false;
    bool encrypted = false;
    bool grouped = false;
    bool hasDataLength = false;
    uint8_t groupId = 0;
    uint8_t encryptionMethod = 0;
    uint32_t dataLength = 0;  // decompressed size (v2.3) or data length indicator (v2.4)

    bool IsOpaque() const { return compressed || encrypted || grouped || hasDataLength; }
    bool operator==(const FrameFormat&) const = default;
};

// A frame is made for its family and holds the fields of the family's layout in itself:
// one allocation per frame, however many fields it has.
class Id3Frame {
public:
    // A frame of a known identifier (held under its v2.4 name, ToV24Id) with the empty
    // fields of its family's layout; `family` Raw keeps any frame's body as read.
    static std::unique_ptr<Id3Frame> Make(FrameId id, uint16_t flags = 0);
    static std::unique_ptr<Id3Frame> Make(FrameId id, uint16_t flags, FrameFamily family);
    // A frame whose well-formed identifier is not among the known ones; kept raw.
    static std::unique_ptr<Id3Frame> MakeUnknown(std::string_view letters, uint16_t flags);
    virtual ~Id3Frame() = default;
    Id3Frame(const Id3Frame&) = delete;
    Id3Frame& operator=(const Id3Frame&) = delete;

    // Same id and, wherever both frames have a field, equal fields.
    bool Equals(const Id3Frame& other) const;

    FrameId Id() const { return id_; }
    // The four letters: the table's name, or the letters read for an unknown frame.
    std::string_view IdLetters() const;
    uint16_t Flags() const { return flags_; }
    const FrameFormat& Format() const { return format_; }
    void SetFormat(const FrameFormat& format) { format_ = format; }
    // The body as stored in the file (compressed), kept while the fields hold it
    // inflated; null for every other frame.
    const std::vector<uint8_t>* StoredBody() const { return storedBody_.get(); }
    void KeepStoredBody(std::vector<uint8_t> body);
    // The frame holds what was read from a tag of this major version (2, 3 or 4); 0 for
    // a frame made in memory.
    uint8_t ReadMajor() const { return readMajor_; }
    // Marks every field as read, from a tag of `major` version.
    void MarkRead(uint8_t major);
    // Made in memory, or a field edited since the frame was read.
    bool IsEdited() const;
    FrameFamily Family() const { return family_; }
    const FrameLayout& Layout() const { return LayoutOf(family_); }

    // The field with that role, typed; null when the layout has no such field.
    Id3Field* Field(FieldRole role) const;
    TextField* Text(FieldRole role = FieldRole::Text) const;
    AsciiField* Ascii(FieldRole role) const;
    DataField* Data(FieldRole role) const;

    // The first field of that kind after `after` (from the start when null); null when
    // there is none or `after` is not one of this frame's fields.
    Id3Field* GetField(FieldKind kind, const Id3Field* after = nullptr) const;
    // The fields in render order, one per spec of Layout().fields.
    size_t FieldCount() const { return fields_.size(); }
    Id3Field& FieldAt(size_t index) const { return *fields_[index]; }

    void SetChanged(bool changed);
    bool HasChanged() const;

protected:
    Id3Frame(FrameId id, std::string_view unknownId, uint16_t flags, FrameFamily family);
    // Called once by the family's frame: its fields in render order, members of its own.
    void SetFields(std::span<Id3Field* const> fields) { fields_ = fields; }

private:
    FrameId id_;
    std::array<char, 4> unknownId_{};
    uint16_t flags_;
    FrameFamily family_;
    uint8_t readMajor_ = 0;
    FrameFormat format_;
    std::span<Id3Field* const> fields_;
    std::unique_ptr<std::vector<uint8_t>> storedBody_;
};

// Frames the model builds, in the layouts above.
std::unique_ptr<Id3Frame> MakeTextFrame(FrameId id, std::u16string_view text);
std::unique_ptr<Id3Frame> MakeCommentFrame(std::string language, std::u16string_view description,
                                           std::u16string_view text);
std::unique_ptr<Id3Frame> MakePictureFrame(uint8_t pictureType, std::string mimeType,
                                           std::u16string_view description, std::span<const uint8_t> data);

}  // namespace quorvane
