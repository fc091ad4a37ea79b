#include "tags/id3v2_reader.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/binary_file.h"
#include "platform/text_codec.h"
#include "tags/id3_tag.h"
#include "tags/id3_text.h"
#include "tags/id3v2_header.h"

namespace quorvane {
namespace {

using Bytes = std::span<const uint8_t>;

constexpr uint32_t kFrameHeaderSize = 10;
// The tag area is read in pieces, so a failing read keeps what came before it.
constexpr uint32_t kReadPiece = 1u << 16;

// Four size bytes of 7 bits each; the top bits are not masked off.
uint64_t Syncsafe(Bytes b) {
    return ((uint64_t{b[0]} * 128 + b[1]) * 128 + b[2]) * 128 + b[3];
}

uint32_t BigEndian32(Bytes b) {
    return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
}

std::string Letters(Bytes b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }

// The v2.2 identifiers and the v2.3 ones they became. CRM (encrypted meta frame) and
// LNK (whose body names a three-letter frame) have no faithful counterpart.
struct V22Mapping {
    std::string_view v22;
    std::string_view v23;
};
constexpr std::array<V22Mapping, 66> kV22Ids = {{
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"},
    {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"MCI", "MCDI"}, {"MLL", "MLLT"},
    {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"},
    {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"},
    {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"}, {"TFT", "TFLT"},
    {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"},
    {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"},
    {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"},
    {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"},
    {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"},
    {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"}, {"WAF", "WOAF"},
    {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"},
    {"WXX", "WXXX"},
    // Sort-order and compilation frames of iTunes-era v2.2 tags.
    {"TST", "TSOT"}, {"TSP", "TSOP"}, {"TSA", "TSOA"}, {"TS2", "TSO2"}, {"TCP", "TCMP"},
}};

std::optional<std::string_view> MapV22Id(std::string_view id) {
    for (const auto& entry : kV22Ids)
        if (entry.v22 == id) return entry.v23;
    return std::nullopt;
}

bool IsWellFormedV22Id(Bytes b) {
    return std::all_of(b.begin(), b.end(), [](uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// The language bytes lower-cased as characters of the code page; a character whose
// lower case the code page lacks stays as it is.
std::string LowerLanguage(Bytes b, const CodePage& codePage) {
    std::string language;
    for (uint8_t byte : b) {
        if (byte == 0) {
            language.push_back('\0');
            continue;
        }
        const std::string lowered = codePage.Encode(std::u16string(1, ToLowerChar(codePage.DecodeByte(byte))));
        language.push_back(lowered.size() == 1 && lowered[0] != '?' ? lowered[0] : static_cast<char>(byte));
    }
    return language;
}

// Fills a frame's fields from its body by the family's layout. False when the body does
// not fit the layout; `dropped` when "SaveEmpty" is off and the frame is empty.
bool ReadBody(Id3Frame& frame, Bytes body, const TagReadOptions& options, bool& dropped) {
    const FrameLayout& layout = frame.Layout();
    const auto& specs = layout.fields;
    uint8_t encoding = 0;
    id3text::ByteOrder order = id3text::ByteOrder::Unknown;
    size_t pos = 0;
    bool allEmpty = true;
    bool defaulted = false;
    for (size_t i = 0; i < specs.size(); ++i) {
        const FieldSpec& spec = specs[i];
        // A text or string followed by a terminator field ends at its terminator; the
        // last field takes the rest of the body.
        const bool terminated = i + 1 < specs.size() && (specs[i + 1].kind == FieldKind::EncodedTerminator ||
                                                         specs[i + 1].kind == FieldKind::ByteTerminator);
        const Bytes rest = body.subspan(pos);
        Id3Field& field = frame.FieldAt(i);
        switch (spec.kind) {
            case FieldKind::Encoding:
                if (rest.empty() || rest[0] >= 4) return false;
                encoding = rest[0];
                ++pos;
                break;
            case FieldKind::Ascii: {
                std::string value;
                if (spec.width != 0) {
                    if (rest.size() < spec.width) return false;
                    value = spec.role == FieldRole::Language ? LowerLanguage(rest.first(spec.width), *options.codePage)
                                                             : Letters(rest.first(spec.width));
                    pos += spec.width;
                } else {
                    const size_t end = id3text::FindTerminator(rest, 0);
                    if (end == id3text::kNoTerminator) return false;
                    value = Letters(rest.first(end));
                    pos += end + 1;
                }
                if (!layout.defaultLanguage.empty() && spec.role == FieldRole::Language &&
                    value.find('\0') != std::string::npos) {
                    value = std::string(layout.defaultLanguage);
                    defaulted = true;
                }
                static_cast<AsciiField&>(field).SetValue(value);
                break;
            }
            case FieldKind::Text: {
                auto& text = static_cast<TextField&>(field);
                if (terminated) {
                    const size_t end = id3text::FindTerminator(rest, encoding);
                    if (end == id3text::kNoTerminator) return false;
                    text.Assign(id3text::DecodeString(rest.first(end), encoding, *options.codePage, &order), {});
                    pos += end + id3text::UnitSize(encoding);
                } else if (id3text::FindTerminator(rest, encoding) == id3text::kNoTerminator) {
                    // One value, the common case: no list of values to build.
                    text.Assign(id3text::DecodeString(rest, encoding, *options.codePage, &order), {});
                    pos = body.size();
                } else {
                    std::vector<std::u16string> values = id3text::DecodeValues(rest, encoding, *options.codePage);
                    std::u16string first = std::move(values.front());
                    values.erase(values.begin());
                    text.Assign(std::move(first), std::move(values));
                    pos = body.size();
                }
                if (!text.Text().empty() || !text.MoreValues().empty()) allEmpty = false;
                break;
            }
            case FieldKind::Data:
            case FieldKind::RawBody: {
                const size_t count = spec.width != 0 ? spec.width : rest.size();
                if (rest.size() < count) return false;
                static_cast<DataField&>(field).SetData(rest.first(count));
                pos += count;
                break;
            }
            case FieldKind::EncodedTerminator:
            case FieldKind::ByteTerminator:
                break;  // consumed with the text before it
        }
    }
    if (!options.saveEmpty && allEmpty) {
        dropped = layout.emptyRule == EmptyRule::DropWhenEmpty ||
                  (layout.emptyRule == EmptyRule::DropWhenDefaulted && defaulted);
    }
    return true;
}

// A frame of `family` built from its body; null when the body does not fit or the frame
// is dropped for being empty.
std::unique_ptr<Id3Frame> BuildFromBody(std::unique_ptr<Id3Frame> frame, Bytes body, const TagReadOptions& options) {
    bool dropped = false;
    if (!ReadBody(*frame, body, options, dropped) || dropped) return nullptr;
    return frame;
}

// v2.2 PIC: a three-letter image format instead of the MIME type. The body is turned into
// an APIC body and read like one.
std::vector<uint8_t> PictureBodyFromV22(Bytes body) {
    if (body.size() < 4) return {};
    const std::string format = Letters(body.subspan(1, 3));
    std::string mime;
    if (format == "JPG") mime = "image/jpeg";
    else if (format == "PNG") mime = "image/png";
    else if (format == "-->") mime = format;  // the picture is a link
    else {
        mime = "image/";
        for (char c : format)
            if (c != ' ' && c != '\0') mime.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
    }
    std::vector<uint8_t> converted;
    converted.reserve(body.size() + mime.size());
    converted.push_back(body[0]);
    converted.insert(converted.end(), mime.begin(), mime.end());
    converted.push_back(0);
    converted.insert(converted.end(), body.begin() + 4, body.end());
    return converted;
}

class TagReader {
public:
    TagReader(Id3Tag& tag, uint8_t major, bool tagUnsync, const TagReadOptions& options)
        : tag_(tag), major_(major), tagUnsync_(tagUnsync), options_(options) {}

    void ReadFrames(Bytes area) {
        size_t pos = 0;
        while (pos < area.size()) {
            const auto next = major_ == 2 ? ReadFrameV22(area, pos) : ReadFrame(area, pos);
            if (!next) break;
            pos = *next;
        }
    }

private:
    // A frame start the list may go on with: padding, the area's end or an identifier.
    static bool PlausibleFrameStart(Bytes area, uint64_t pos) {
        if (pos == area.size()) return true;
        if (pos > area.size()) return false;
        if (area[pos] == 0) return true;
        if (area.size() - pos < 4) return false;
        return IsWellFormedFrameId(Letters(area.subspan(pos, 4)));
    }

    // Reads the frame at `pos`; the position after it, or nullopt at the list's end.
    std::optional<size_t> ReadFrame(Bytes area, size_t pos) {
        if (area.size() - pos < 4 || area[pos] == 0) return std::nullopt;  // padding
        const std::string letters = Letters(area.subspan(pos, 4));
        const auto known = LookupFrameId(letters);
        if (!known && !IsWellFormedFrameId(letters)) return std::nullopt;
        if (area.size() - pos < kFrameHeaderSize) return std::nullopt;
        const Bytes header = area.subspan(pos, kFrameHeaderSize);
        uint64_t size = major_ == 4 ? Syncsafe(header.subspan(4, 4)) : BigEndian32(header.subspan(4, 4));
        if (major_ == 4) {
            // iTunes wrote v2.4 frame sizes as plain 32-bit numbers; take that reading when
            // only it lands on a frame boundary.
            const uint64_t plain = BigEndian32(header.subspan(4, 4));
            if (plain != size && !PlausibleFrameStart(area, pos + kFrameHeaderSize + size) &&
                PlausibleFrameStart(area, pos + kFrameHeaderSize + plain))
                size = plain;
        }
        const uint16_t flags = static_cast<uint16_t>(header[8] << 8 | header[9]);
        pos += kFrameHeaderSize;
        if (size == 0) return pos;
        if (size > area.size() - pos) return std::nullopt;  // cut off by the end of the tag
        const Bytes body = area.subspan(pos, size);
        pos += size;
        if (auto frame = BuildFrame(known, letters, flags, body)) tag_.AddFrame(std::move(frame));
        return pos;
    }

    std::unique_ptr<Id3Frame> BuildFrame(std::optional<FrameId> known, const std::string& letters, uint16_t flags,
                                         Bytes body) {
        std::vector<uint8_t> resynced;
        FrameFormat format;
        size_t extras = 0;
        if (major_ == 4) {
            // v2.4 frame flag 0x0002 (or the tag's flag): the body is unsynchronised.
            if (tagUnsync_ || (flags & 0x0002)) {
                resynced = id3text::UndoUnsync(body);
                body = resynced;
            }
            format.grouped = flags & 0x0040;        // grouping identity
            format.compressed = flags & 0x0008;     // zlib compression
            format.encrypted = flags & 0x0004;      // encryption
            format.hasDataLength = flags & 0x0001;  // data length indicator
            // Added bytes in v2.4 order: group, method, data length.
            if (format.grouped) {
                if (body.size() <= extras) return nullptr;
                format.groupId = body[extras++];
            }
            if (format.encrypted) {
                if (body.size() <= extras) return nullptr;
                format.encryptionMethod = body[extras++];
            }
            if (format.hasDataLength) {
                if (body.size() < extras + 4) return nullptr;
                format.dataLength = static_cast<uint32_t>(Syncsafe(body.subspan(extras, 4)));
                extras += 4;
            }
        } else {
            format.compressed = flags & 0x0080;  // v2.3 compression
            format.encrypted = flags & 0x0040;   // v2.3 encryption
            format.grouped = flags & 0x0020;     // v2.3 grouping identity
            // Added bytes in v2.3 order: decompressed size, method, group.
            if (format.compressed) {
                if (body.size() < extras + 4) return nullptr;
                format.dataLength = BigEndian32(body.subspan(extras, 4));
                format.hasDataLength = true;
                extras += 4;
            }
            if (format.encrypted) {
                if (body.size() <= extras) return nullptr;
                format.encryptionMethod = body[extras++];
            }
            if (format.grouped) {
                if (body.size() <= extras) return nullptr;
                format.groupId = body[extras++];
            }
        }
        if (!known) return RawFrame(std::make_unique<Id3Frame>(letters, flags), body);
        if (format.IsOpaque()) {
            // Not parsed: kept with its format and written back in either layout.
            auto frame = std::make_unique<Id3Frame>(*known, flags, FrameFamily::Raw);
            frame->SetFormat(format);
            return RawFrame(std::move(frame), body.subspan(extras));
        }
        // The body's layout follows the identifier as read: a v2.3 IPLS is held as TMCL
        // but its body stays raw.
        return BuildFromBody(std::make_unique<Id3Frame>(*known, flags, FamilyOf(*known)), body, options_);
    }

    static std::unique_ptr<Id3Frame> RawFrame(std::unique_ptr<Id3Frame> frame, Bytes body) {
        frame->Data(FieldRole::Body)->SetData(body);
        return frame;
    }

    // v2.2: three-letter identifier, 24-bit size, no flags.
    std::optional<size_t> ReadFrameV22(Bytes area, size_t pos) {
        constexpr size_t kV22Header = 6;
        if (area.size() - pos < kV22Header || area[pos] == 0) return std::nullopt;
        const Bytes header = area.subspan(pos, kV22Header);
        if (!IsWellFormedV22Id(header.first(3))) return std::nullopt;
        const uint32_t size = uint32_t{header[3]} << 16 | uint32_t{header[4]} << 8 | header[5];
        pos += kV22Header;
        if (size == 0) return pos;
        if (size > area.size() - pos) return std::nullopt;
        const Bytes body = area.subspan(pos, size);
        pos += size;
        const std::string id22 = Letters(header.first(3));
        const auto mapped = MapV22Id(id22);
        if (!mapped) return pos;  // no counterpart in the later versions
        const auto known = LookupFrameId(*mapped);
        std::unique_ptr<Id3Frame> built;
        if (!known) {
            built = RawFrame(std::make_unique<Id3Frame>(*mapped, 0), body);
        } else if (id22 == "PIC") {
            const std::vector<uint8_t> converted = PictureBodyFromV22(body);
            built = BuildFromBody(std::make_unique<Id3Frame>(*known, 0, FrameFamily::Picture), converted, options_);
        } else {
            built = BuildFromBody(std::make_unique<Id3Frame>(*known, 0, FamilyOf(*known)), body, options_);
        }
        if (built) tag_.AddFrame(std::move(built));
        return pos;
    }

    Id3Tag& tag_;
    uint8_t major_;
    bool tagUnsync_;
    const TagReadOptions& options_;
};

// The frames area as read: its bytes are not zero-filled first (a cover picture makes
// it large).
struct Area {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    Bytes View() const { return Bytes(bytes.get(), size); }
};

// Reads `count` bytes from `offset` in pieces; stops early at the end of the file or at a
// failing read, keeping what came before. `room`: how many bytes the file can give.
Area ReadArea(BinaryFile& file, uint64_t offset, uint64_t count, uint64_t room) {
    Area area;
    const uint64_t capacity = std::min(count, room);
    try {
        area.bytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(capacity));
        file.Seek(offset);
        while (area.size < capacity) {
            const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(kReadPiece, capacity - area.size));
            const uint32_t got = file.Read(area.bytes.get() + area.size, piece);
            area.size += got;
            if (got < piece) break;
        }
    } catch (const FileException&) {
    }
    return area;
}

}  // namespace

uint64_t ReadV2(Id3Tag& tag, BinaryFile& file, const TagReadOptions& options) {
    std::optional<V2Header> header;
    uint64_t fileSize = 0;
    try {
        fileSize = file.GetSize();
        header = ReadV2Header(file);
    } catch (const FileException&) {
        return 0;
    }
    if (!header) return 0;
    // A tag cut off by the end of the file still holds its intact frames; there is no
    // audio after it, so the audio starts at the end of the file.
    const uint64_t result = std::min(header->Extent(), fileSize);
    const uint8_t major = header->major;

    // v2.2 flag 0x40: the whole tag is compressed by a scheme never defined.
    if (major == 2 && header->HasExtendedHeader()) return result;
    const Area read = ReadArea(file, kV2HeaderSize, header->size, fileSize - kV2HeaderSize);
    Bytes area = read.View();
    // Tag flag 0x80, unsynchronisation: v2.2 and v2.3 apply it to the whole tag, v2.4 to
    // each frame (the frame sizes count the unsynchronised bytes).
    std::vector<uint8_t> resynced;
    if (header->Unsynchronised() && major != 4) {
        resynced = id3text::UndoUnsync(area);
        area = resynced;
    }
    size_t start = 0;
    if (header->HasExtendedHeader() && (major == 3 || major == 4)) {
        // Extended header: skipped, never interpreted.
        if (area.size() < 4) return result;
        const uint64_t n = major == 3 ? BigEndian32(area.first(4)) + uint64_t{4} : Syncsafe(area.first(4));
        if (n > area.size()) return result;
        start = static_cast<size_t>(n);
    }
    TagReader reader(tag, major, header->Unsynchronised() && major == 4, options);
    reader.ReadFrames(area.subspan(start));
    return result;
}

}  // namespace quorvane
