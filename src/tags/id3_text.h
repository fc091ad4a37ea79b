#pragma once
// The byte forms of ID3v2 texts: the four encoding bytes, byte-order marks, terminators
// and multi-value texts; and the unsynchronisation scheme.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/text_codec.h"

namespace quorvane::id3text {

inline constexpr size_t kNoTerminator = static_cast<size_t>(-1);

// Width of a terminator (and of a code unit) in an encoding: 2 for 1 and 2, else 1.
inline size_t UnitSize(uint8_t encoding) { return (encoding == 1 || encoding == 2) ? 2 : 1; }

// Offset of the first terminator (a zero byte, or an aligned zero unit for the UTF-16
// encodings), or kNoTerminator.
size_t FindTerminator(std::span<const uint8_t> bytes, uint8_t encoding);

// One string without its terminator. UTF-16 (encodings 1 and 2) honours a byte-order
// mark (FE FF big-endian, FF FE little-endian) and otherwise takes the byte order that
// gives the more plausible text, preferring little-endian for 1 and big-endian for 2.
// Encoding 3 falls back to the code page when the bytes are not UTF-8.
// `order`, when given, carries a byte-order mark's order to the strings after it that
// lack one (some writers mark only the first string of a frame).
enum class ByteOrder { Unknown, Big, Little };
std::u16string DecodeString(std::span<const uint8_t> bytes, uint8_t encoding, const CodePage& codePage,
                            ByteOrder* order = nullptr);

// A text frame's body after the encoding byte: every zero-separated value, without the
// empty values a trailing terminator leaves. Always at least one value.
std::vector<std::u16string> DecodeValues(std::span<const uint8_t> bytes, uint8_t encoding, const CodePage& codePage);

// Appends a text in an encoding: 0 code page, 1 FF FE and little-endian units,
// 2 big-endian units, 3 UTF-8. No terminator.
void AppendEncoded(std::u16string_view text, uint8_t encoding, const CodePage& codePage, std::vector<uint8_t>& out);
// How bytes read stand to the values encoded again (AppendEncoded, a terminator between
// two values): the same bytes, the same with one terminator after them (many writers end
// every text so), or different.
enum class EncodedMatch : uint8_t { Same, SameAndTerminator, Different };
EncodedMatch CompareEncoded(std::u16string_view text, std::span<const std::u16string> moreValues, uint8_t encoding,
                            const CodePage& codePage, std::span<const uint8_t> bytes);
// The room AppendEncoded needs (UTF-8 counted as 3 bytes a unit).
size_t EncodedSizeBound(std::u16string_view text, uint8_t encoding, const CodePage& codePage);

// Undoes unsynchronisation: every FF 00 becomes FF.
std::vector<uint8_t> UndoUnsync(std::span<const uint8_t> bytes);

}  // namespace quorvane::id3text
