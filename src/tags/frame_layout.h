#pragma once
// Frame bodies as data: one list of field specs per frame family drives the reader, the
// renderer, the frames the model builds and the command-line `show`. A field is found by
// its role, never by its position.
//
// Adding a family means one row in the table of frame_layout.cpp (and, for a new kind of
// field, one field class in id3_field.h).
#include <cstdint>
#include <span>
#include <string_view>

#include "tags/frame_id.h"
#include "tags/id3_field.h"

namespace quorvane {

enum class FrameFamily : uint8_t {
    Text,     // "T" identifiers except TXXX
    Comment,  // COMM
    Picture,  // APIC
    Raw,      // every other frame, and every frame kept as read
};

// What a field means within its frame.
enum class FieldRole : uint8_t {
    Encoding,     // the text encoding byte
    Text,         // the text of a text frame, the comment text of COMM
    Language,     // COMM: three bytes
    Description,  // COMM, APIC: a terminated text
    MimeType,     // APIC: a zero-terminated 8-bit string
    PictureType,  // APIC: one byte
    PictureData,  // APIC: the image bytes
    Body,         // a body kept as read
    Terminator,   // the zero byte(s) after a text or the MIME type
};

struct FieldSpec {
    FieldKind kind;
    FieldRole role;
    std::string_view name;  // as `show` names it
    uint8_t width = 0;      // fixed byte count (language, picture type); 0: variable
};

// How a frame with empty texts fares when "SaveEmpty" is off.
enum class EmptyRule : uint8_t {
    Keep,             // never dropped for being empty
    DropWhenEmpty,    // dropped when every text is empty
    DropWhenDefaulted // dropped when every text is empty and the language was not a code
};

struct FrameLayout {
    FrameFamily family;
    std::span<const FieldSpec> fields;
    EmptyRule emptyRule;
    // A language with a zero byte in it becomes this (COMM's "eng").
    std::string_view defaultLanguage;

    // Position of the first field with that role; -1 when the family has none.
    int IndexOf(FieldRole role) const;
};

FrameFamily FamilyOf(FrameId id);
const FrameLayout& LayoutOf(FrameFamily family);
inline const FrameLayout& LayoutOf(FrameId id) { return LayoutOf(FamilyOf(id)); }

}  // namespace quorvane
