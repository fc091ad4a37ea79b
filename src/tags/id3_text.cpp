#include "tags/id3_text.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

#include "platform/text_codec.h"

namespace quorvane::id3text {
namespace {

// Little-endian units on a little-endian machine are the bytes as they are.
constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

std::u16string Units(std::span<const uint8_t> bytes, bool bigEndian) {
    std::u16string text(bytes.size() / 2, u'\0');
    if (!bigEndian && kLittleEndianHost) {
        if (!text.empty()) std::memcpy(text.data(), bytes.data(), 2 * text.size());
        return text;
    }
    for (size_t k = 0, i = 0; k < text.size(); ++k, i += 2) {
        const uint8_t hi = bigEndian ? bytes[i] : bytes[i + 1];
        const uint8_t lo = bigEndian ? bytes[i + 1] : bytes[i];
        text[k] = static_cast<char16_t>(hi << 8 | lo);
    }
    return text;
}

// How unlikely a text is to be what a tag meant: control characters, private-use and
// non-characters, broken surrogate pairs. Latin-1 letters, by far the commonest, score
// nothing; other characters a little, so that byte-swapped Latin text (which lands in
// scattered blocks) loses against its straight reading.
int Implausibility(const std::u16string& text) {
    int score = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x20) {
            if (c != u'\t' && c != u'\n' && c != u'\r') score += 4;
        } else if (c < 0x100) {
            continue;
        } else if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
            else score += 4;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            score += 4;
        } else if ((c >= 0xE000 && c <= 0xF8FF) || c >= 0xFFF0) {
            score += 3;
        } else {
            score += 1;
        }
    }
    // Text of one script keeps its high byte; a swapped reading scatters it.
    for (size_t i = 1; i < text.size(); ++i)
        if ((text[i] >> 8) != (text[i - 1] >> 8)) ++score;
    return score;
}

}  // namespace

size_t FindTerminator(std::span<const uint8_t> bytes, uint8_t encoding) {
    if (UnitSize(encoding) == 2) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            if (bytes[i] == 0 && bytes[i + 1] == 0) return i;
        return kNoTerminator;
    }
    for (size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == 0) return i;
    return kNoTerminator;
}

std::u16string DecodeString(std::span<const uint8_t> bytes, uint8_t encoding, const CodePage& codePage,
                            ByteOrder* order) {
    switch (encoding) {
        case 0:
            return codePage.Decode({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        case 3: {
            const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            if (auto text = Utf8ToUtf16Strict(view)) return *text;
            return codePage.Decode(view);
        }
        case 1:
        case 2: {
            ByteOrder marked = ByteOrder::Unknown;
            if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) marked = ByteOrder::Big;
            if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) marked = ByteOrder::Little;
            if (marked != ByteOrder::Unknown) {
                if (order) *order = marked;
                return Units(bytes.subspan(2), marked == ByteOrder::Big);
            }
            if (order && *order != ByteOrder::Unknown) return Units(bytes, *order == ByteOrder::Big);
            // No mark: encoding 2 is big-endian by the standard, but some programs write it
            // little-endian; a mark-less encoding 1 is little-endian as this program wrote it.
            const bool preferBig = encoding == 2;
            std::u16string preferred = Units(bytes, preferBig);
            std::u16string other = Units(bytes, !preferBig);
            return Implausibility(other) < Implausibility(preferred) ? other : preferred;
        }
        default:
            return {};
    }
}

std::vector<std::u16string> DecodeValues(std::span<const uint8_t> bytes, uint8_t encoding, const CodePage& codePage) {
    std::vector<std::u16string> values;
    const size_t unit = UnitSize(encoding);
    ByteOrder order = ByteOrder::Unknown;
    size_t start = 0;
    while (true) {
        const std::span<const uint8_t> rest = bytes.subspan(start);
        const size_t end = FindTerminator(rest, encoding);
        if (end == kNoTerminator) {
            values.push_back(DecodeString(rest, encoding, codePage, &order));
            break;
        }
        values.push_back(DecodeString(rest.first(end), encoding, codePage, &order));
        start += end + unit;
        if (start >= bytes.size()) break;
    }
    // A terminator after the last value (or padding zeros) adds no value.
    while (values.size() > 1 && values.back().empty()) values.pop_back();
    if (values.empty()) values.emplace_back();
    return values;
}

void AppendEncoded(std::u16string_view text, uint8_t encoding, const CodePage& codePage, std::vector<uint8_t>& out) {
    switch (encoding) {
        case 1:
            out.push_back(0xFF);
            out.push_back(0xFE);
            for (char16_t c : text) {
                out.push_back(static_cast<uint8_t>(c & 0xFF));
                out.push_back(static_cast<uint8_t>(c >> 8));
            }
            break;
        case 2:
            for (char16_t c : text) {
                out.push_back(static_cast<uint8_t>(c >> 8));
                out.push_back(static_cast<uint8_t>(c & 0xFF));
            }
            break;
        case 3: {
            const std::string utf8 = Utf16ToUtf8(text);
            out.insert(out.end(), utf8.begin(), utf8.end());
            break;
        }
        default: {
            const std::string bytes = codePage.Encode(text);
            out.insert(out.end(), bytes.begin(), bytes.end());
            break;
        }
    }
}

namespace {

// Whether AppendEncoded gives exactly these bytes, found without encoding; nullopt where
// only encoding tells (UTF-8 beyond ASCII, a surrogate in a code-page text).
std::optional<bool> EncodesInPlace(std::u16string_view text, uint8_t encoding, const CodePage& codePage,
                                   std::span<const uint8_t> bytes) {
    if (encoding == 1 || encoding == 2) {
        const size_t mark = encoding == 1 ? 2 : 0;
        if (bytes.size() != mark + 2 * text.size() || (mark && (bytes[0] != 0xFF || bytes[1] != 0xFE))) return false;
        const bool bigEndian = encoding == 2;
        if (!bigEndian && kLittleEndianHost)
            return text.empty() || std::memcmp(bytes.data() + mark, text.data(), 2 * text.size()) == 0;
        for (size_t i = 0; i < text.size(); ++i) {
            const uint8_t first = bytes[mark + 2 * i], second = bytes[mark + 2 * i + 1];
            if (text[i] != (bigEndian ? first << 8 | second : second << 8 | first)) return false;
        }
        return true;
    }
    for (const char16_t c : text)
        if ((encoding == 3 && c >= 0x80) || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    // One byte per character from here on: ASCII in UTF-8, or the code page's byte.
    if (bytes.size() != text.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char expected = encoding == 3 ? static_cast<char>(text[i]) : codePage.EncodeChar(text[i]);
        if (static_cast<char>(bytes[i]) != expected) return false;
    }
    return true;
}

}  // namespace

EncodedMatch CompareEncoded(std::u16string_view text, std::span<const std::u16string> moreValues, uint8_t encoding,
                            const CodePage& codePage, std::span<const uint8_t> bytes) {
    const size_t unit = UnitSize(encoding);
    const bool terminated = bytes.size() >= unit && bytes.back() == 0 && bytes[bytes.size() - unit] == 0;
    const std::span<const uint8_t> unterminated = terminated ? bytes.first(bytes.size() - unit) : bytes;
    // One value, nearly every text read: compared in place, without encoding it again.
    if (moreValues.empty()) {
        const std::optional<bool> same = EncodesInPlace(text, encoding, codePage, bytes);
        if (same && *same) return EncodedMatch::Same;
        if (terminated) {
            const std::optional<bool> sameBefore = EncodesInPlace(text, encoding, codePage, unterminated);
            if (sameBefore && *sameBefore) return EncodedMatch::SameAndTerminator;
            if (same && sameBefore) return EncodedMatch::Different;
        } else if (same) {
            return EncodedMatch::Different;
        }
    }
    std::vector<uint8_t> again;
    again.reserve(bytes.size());
    AppendEncoded(text, encoding, codePage, again);
    for (const std::u16string& value : moreValues) {
        again.insert(again.end(), unit, 0);
        AppendEncoded(value, encoding, codePage, again);
    }
    if (std::equal(again.begin(), again.end(), bytes.begin(), bytes.end())) return EncodedMatch::Same;
    if (terminated && std::equal(again.begin(), again.end(), unterminated.begin(), unterminated.end()))
        return EncodedMatch::SameAndTerminator;
    return EncodedMatch::Different;
}

size_t EncodedSizeBound(std::u16string_view text, uint8_t encoding, const CodePage& codePage) {
    switch (encoding) {
        case 1: return 2 * text.size() + 2;
        case 2: return 2 * text.size();
        case 3: return 3 * text.size();
        default: return codePage.Encode(text).size();
    }
}

std::vector<uint8_t> UndoUnsync(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        // Unsynchronisation: FF 00 stands for FF.
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0x00) ++i;
    }
    return out;
}

}  // namespace quorvane::id3text
