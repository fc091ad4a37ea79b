#pragma once
// One ID3v2 frame: a canonical identifier, the flags it was read with and its fields
// in render order.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tags/frame_id.h"
#include "tags/id3_field.h"

namespace quorvane {

// The per-frame format information that makes a body opaque to the program: such a
// body is kept as read (still compressed or encrypted) and written back with these
// flags in the layout of the version written.
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

class CId3Frame {
public:
    static constexpr size_t kMaxFields = 16;

    // The id is held under its v2.4 name (ToV24Id).
    explicit CId3Frame(FrameId id, uint16_t flags = 0);
    // A frame whose well-formed identifier is not among the known ones.
    CId3Frame(std::string_view unknownId, uint16_t flags);
    virtual ~CId3Frame() = default;
    CId3Frame(const CId3Frame&) = delete;
    CId3Frame& operator=(const CId3Frame&) = delete;

    // Same id and, wherever both frames have a field, equal fields.
    virtual bool Equals(const CId3Frame& other) const;

    FrameId Id() const { return id_; }
    // The four letters: the table's name, or the letters read for an unknown frame.
    std::string_view IdLetters() const;
    uint16_t Flags() const { return flags_; }
    const FrameFormat& Format() const { return format_; }
    void SetFormat(const FrameFormat& format) { format_ = format; }

    // The first field of that kind after `after` (from the start when null); null when
    // there is none or `after` is not one of this frame's fields.
    CId3Field* GetField(FieldKind kind, const CId3Field* after = nullptr) const;
    // Installs up to kMaxFields fields in order (more are dropped); owned ones are kept.
    void SetFields(std::vector<FieldPtr> fields);
    size_t FieldCount() const { return fields_.size(); }
    CId3Field* FieldAt(size_t index) const { return fields_[index].get(); }

    void SetChanged(bool changed);
    bool HasChanged() const;

    // Typed helpers over GetField: the n-th field of a kind, null when missing.
    CTextField* TextField(size_t n = 0) const;
    CAsciiField* AsciiField(size_t n = 0) const;
    CDataField* DataField(size_t n = 0) const;  // kind Data (picture type, picture data)
    CDataField* RawBodyField() const;

private:
    CId3Field* NthField(FieldKind kind, size_t n) const;

    FrameId id_;
    std::array<char, 4> unknownId_{};
    uint16_t flags_;
    FrameFormat format_;
    std::vector<FieldPtr> fields_;
};

}  // namespace quorvane
