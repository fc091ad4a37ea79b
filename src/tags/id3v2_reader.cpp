#include "tags/id3v2_reader.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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
constexpr uint32_t kV22FrameHeaderSize = 6;
// The tag area is read in pieces, so a failing read keeps what came before it.
constexpr uint32_t kReadPiece = 1u << 16;
// A compressed frame inflates to at most this many bytes, and to at most this many times
// its stored size (deflate itself cannot pass about 1032:1); one that would inflate
// further stays compressed, kept as read.
constexpr size_t kMaxInflated = size_t{64} << 20;
constexpr size_t kMaxInflateRatio = 1100;

// Four size bytes of 7 bits each; the top bits are not masked off.
uint64_t Syncsafe(Bytes b) {
    return ((uint64_t{b[0]} * 128 + b[1]) * 128 + b[2]) * 128 + b[3];
}

uint32_t BigEndian32(Bytes b) {
    return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
}

std::string_view LetterView(Bytes b) { return {reinterpret_cast<const char*>(b.data()), b.size()}; }
std::string Letters(Bytes b) { return std::string(LetterView(b)); }

void Append(std::vector<uint8_t>& out, Bytes bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

// The v2.2 identifiers and the v2.3 ones whose bodies have the same layout. PIC and LNK
// are converted (their bodies differ); CRM, an encrypted container of other frames, has
// no later form, and neither do identifiers not listed: their bytes are kept unread.
struct V22Mapping {
    std::string_view v22;
    std::string_view v23;
};
constexpr std::array<V22Mapping, 68> kV22Ids = {{
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"},
    {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"},
    {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"},
    {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"},
    {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
    {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"},
    {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"},
    {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"},
    // Sort-order and compilation frames of iTunes-era v2.2 tags.
    {"TST", "TSOT"}, {"TSP", "TSOP"}, {"TSA", "TSOA"}, {"TS2", "TSO2"}, {"TSC", "TSOC"},
    {"TCP", "TCMP"},
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
        const char16_t lower = ToLowerChar(codePage.DecodeByte(byte));
        const bool single = lower < 0xD800 || lower > 0xDFFF;
        const char lowered = single ? codePage.EncodeChar(lower) : '?';
        language.push_back(lowered != '?' ? lowered : static_cast<char>(byte));
    }
    return language;
}

// Padding runs to kilobytes and is looked at in every tag: it is compared with a block
// of zeros (memcmp is vectorised), then eight bytes at a time, then byte by byte.
constexpr uint8_t kZeroBlock[256] = {};

size_t FirstNonZero(Bytes bytes) {
    size_t i = 0;
    while (bytes.size() - i >= sizeof kZeroBlock && std::memcmp(bytes.data() + i, kZeroBlock, sizeof kZeroBlock) == 0)
        i += sizeof kZeroBlock;
    for (uint64_t word = 0; i + sizeof word <= bytes.size(); i += sizeof word) {
        std::memcpy(&word, bytes.data() + i, sizeof word);
        if (word != 0) break;
    }
    while (i < bytes.size() && bytes[i] == 0) ++i;
    return i;
}

// The end of the last byte that is not zero; 0 when there is none.
size_t EndOfNonZero(Bytes bytes) {
    size_t end = bytes.size();
    while (end >= sizeof kZeroBlock &&
           std::memcmp(bytes.data() + end - sizeof kZeroBlock, kZeroBlock, sizeof kZeroBlock) == 0)
        end -= sizeof kZeroBlock;
    for (uint64_t word = 0; end >= sizeof word; end -= sizeof word) {
        std::memcpy(&word, bytes.data() + end - sizeof word, sizeof word);
        if (word != 0) break;
    }
    while (end > 0 && bytes[end - 1] == 0) --end;
    return end;
}

bool OnlyZeros(Bytes bytes) { return FirstNonZero(bytes) == bytes.size(); }

// Fills a frame's fields from its body by the family's layout; every field keeps the
// bytes it was read from. False when the body does not fit the layout; `dropped` when
// "SaveEmpty" is off and the frame is empty.
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
                Bytes bytes;
                if (spec.width != 0) {
                    if (rest.size() < spec.width) return false;
                    bytes = rest.first(spec.width);
                    pos += spec.width;
                } else {
                    const size_t end = id3text::FindTerminator(rest, 0);
                    if (end == id3text::kNoTerminator) return false;
                    bytes = rest.first(end);
                    pos += end + 1;
                }
                std::string value =
                    spec.role == FieldRole::Language ? LowerLanguage(bytes, *options.codePage) : Letters(bytes);
                if (!layout.defaultLanguage.empty() && spec.role == FieldRole::Language &&
                    value.find('\0') != std::string::npos) {
                    value = std::string(layout.defaultLanguage);
                    defaulted = true;
                }
                static_cast<AsciiField&>(field).AssignRead(std::move(value), LetterView(bytes));
                break;
            }
            case FieldKind::Text: {
                auto& text = static_cast<TextField&>(field);
                const CodePage& codePage = *options.codePage;
                if (terminated) {
                    const size_t end = id3text::FindTerminator(rest, encoding);
                    if (end == id3text::kNoTerminator) return false;
                    text.AssignRead(id3text::DecodeString(rest.first(end), encoding, codePage, &order), {}, encoding,
                                    rest.first(end), codePage);
                    pos += end + id3text::UnitSize(encoding);
                } else if (const size_t end = id3text::FindTerminator(rest, encoding);
                           end == id3text::kNoTerminator || OnlyZeros(rest.subspan(end))) {
                    // One value, the common case (often ended by a terminator, or padded with
                    // zeros): no list of values to build.
                    text.AssignRead(id3text::DecodeString(rest.first(std::min(end, rest.size())), encoding, codePage,
                                                          &order),
                                    {}, encoding, rest, codePage);
                    pos = body.size();
                } else {
                    std::vector<std::u16string> values = id3text::DecodeValues(rest, encoding, codePage);
                    std::u16string first = std::move(values.front());
                    values.erase(values.begin());
                    text.AssignRead(std::move(first), std::move(values), encoding, rest, codePage);
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

std::unique_ptr<Id3Frame> RawFrame(std::unique_ptr<Id3Frame> frame, Bytes body) {
    frame->Data(FieldRole::Body)->SetData(body);
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

// v2.2 LNK names the linked frame by three letters, LINK by four.
std::optional<std::vector<uint8_t>> LinkBodyFromV22(Bytes body) {
    if (body.size() < 3) return std::nullopt;
    const auto linked = MapV22Id(LetterView(body.first(3)));
    if (!linked) return std::nullopt;
    std::vector<uint8_t> converted(linked->begin(), linked->end());
    Append(converted, body.subspan(3));
    return converted;
}

// The zlib stream of a compressed frame inflated; nullopt when it is damaged or would
// inflate beyond the caps.
std::optional<std::vector<uint8_t>> Inflate(Bytes stored, uint32_t expected) {
    const size_t limit = std::min(kMaxInflated, stored.size() * kMaxInflateRatio);
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    stream.next_in = const_cast<Bytef*>(stored.data());
    stream.avail_in = static_cast<uInt>(stored.size());
    std::vector<uint8_t> out;
    out.reserve(std::min<size_t>(expected, limit));
    int status = Z_OK;
    while (status == Z_OK) {
        const size_t piece = std::min<size_t>(size_t{1} << 16, limit - out.size());
        if (piece == 0) break;
        const size_t had = out.size();
        out.resize(had + piece);
        stream.next_out = out.data() + had;
        stream.avail_out = static_cast<uInt>(piece);
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(had + piece - stream.avail_out);
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) return std::nullopt;
    return out;
}

// The bytes after the last non-zero one are padding, and so are zeros before the first.
Bytes WithoutPadding(Bytes bytes) {
    const size_t first = FirstNonZero(bytes);
    if (first == bytes.size()) return {};
    return bytes.subspan(first, EndOfNonZero(bytes) - first);
}

// Where one frame stands in the frames area.
struct FrameSpan {
    size_t start = 0;  // its header
    size_t headerSize = 0;
    size_t bodySize = 0;
    uint16_t flags = 0;
    size_t BodyStart() const { return start + headerSize; }
    size_t End() const { return BodyStart() + bodySize; }
};

class TagReader {
public:
    TagReader(uint8_t major, bool tagUnsync, const TagReadOptions& options)
        : major_(major), tagUnsync_(tagUnsync), options_(options) {}

    // Reads the frames of the area into the tag; keeps those past the cap as bytes, and
    // the bytes where the list ends, when they are not padding, as unread.
    void ReadFrames(Bytes area, Id3Tag& tag) const {
        std::vector<uint8_t> unconverted;
        size_t pos = 0;
        uint32_t seen = 0, keptCount = 0;
        size_t keptStart = 0;
        while (pos < area.size()) {
            const auto span = Locate(area, pos);
            if (!span) break;
            if (span->bodySize != 0) {
                if (seen < kV2FrameCap) {
                    ++seen;
                    if (auto frame = Build(area, *span, &unconverted)) tag.AddFrame(std::move(frame));
                } else {
                    if (keptCount++ == 0) keptStart = span->start;
                    // A v2.2 frame without a later form is kept unread, wherever it stands.
                    if (major_ == 2) Build(area, *span, &unconverted);
                }
            }
            pos = span->End();
        }
        if (keptCount > 0) {
            auto kept = std::make_unique<KeptFrames>(KeptFrames{major_, tagUnsync_, keptCount, {}});
            Append(kept->bytes, area.subspan(keptStart, pos - keptStart));
            tag.SetKeptFrames(std::move(kept));
        }
        Append(unconverted, WithoutPadding(area.subspan(pos)));
        // Zeros at the end are padding, also after the last v2.2 frame kept unread.
        while (!unconverted.empty() && unconverted.back() == 0) unconverted.pop_back();
        tag.SetUnreadBytes(std::move(unconverted));
    }

    void VisitFrames(Bytes area, const std::function<void(const Id3Frame&)>& visit) const {
        size_t pos = 0;
        while (pos < area.size()) {
            const auto span = Locate(area, pos);
            if (!span) break;
            if (span->bodySize != 0)
                if (const auto frame = Build(area, *span, nullptr)) visit(*frame);
            pos = span->End();
        }
    }

private:
    // A frame start the list may go on with: padding, the area's end or an identifier.
    static bool PlausibleFrameStart(Bytes area, uint64_t pos) {
        if (pos == area.size()) return true;
        if (pos > area.size()) return false;
        if (area[pos] == 0) return true;
        if (area.size() - pos < 4) return false;
        return IsWellFormedFrameId(LetterView(area.subspan(pos, 4)));
    }

    bool Unsynchronised(uint16_t flags) const {
        // v2.4 frame flag 0x0002 (or the tag's flag): the body is unsynchronised.
        return major_ == 4 && (tagUnsync_ || (flags & 0x0002));
    }

    // The bytes the frame flags put in front of the body: v2.4 group, method and data
    // length; v2.3 decompressed size, method and group.
    size_t PrefixSize(uint16_t flags) const {
        if (major_ == 4) return (flags & 0x0040 ? 1 : 0) + (flags & 0x0004 ? 1 : 0) + (flags & 0x0001 ? 4 : 0);
        return (flags & 0x0080 ? 4 : 0) + (flags & 0x0040 ? 1 : 0) + (flags & 0x0020 ? 1 : 0);
    }

    // The frame at `pos`; nullopt where the frame list ends: padding, the area's end, an
    // identifier that is not well-formed, a frame beyond the area, or flags that promise
    // more bytes than the body has.
    std::optional<FrameSpan> Locate(Bytes area, size_t pos) const {
        if (major_ == 2) {
            if (area.size() - pos < kV22FrameHeaderSize || area[pos] == 0) return std::nullopt;
            const Bytes header = area.subspan(pos, kV22FrameHeaderSize);
            if (!IsWellFormedV22Id(header.first(3))) return std::nullopt;
            const uint32_t size = uint32_t{header[3]} << 16 | uint32_t{header[4]} << 8 | header[5];
            if (size > area.size() - pos - kV22FrameHeaderSize) return std::nullopt;
            return FrameSpan{pos, kV22FrameHeaderSize, size, 0};
        }
        if (area.size() - pos < 4 || area[pos] == 0) return std::nullopt;  // padding
        if (!IsWellFormedFrameId(LetterView(area.subspan(pos, 4)))) return std::nullopt;
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
        const auto flags = static_cast<uint16_t>(header[8] << 8 | header[9]);
        if (size > area.size() - pos - kFrameHeaderSize) return std::nullopt;  // cut off by the end of the tag
        const FrameSpan span{pos, kFrameHeaderSize, static_cast<size_t>(size), flags};
        if (size != 0) {
            const Bytes body = area.subspan(span.BodyStart(), span.bodySize);
            const size_t prefix = PrefixSize(flags);
            if (Unsynchronised(flags) ? id3text::UndoUnsync(body.first(std::min(body.size(), 2 * prefix))).size() < prefix
                                      : body.size() < prefix)
                return std::nullopt;
        }
        return span;
    }

    // The frame of a span; null for an empty frame that "SaveEmpty" drops, and for a v2.2
    // frame without a later form, whose bytes go to `unconverted` (when given).
    std::unique_ptr<Id3Frame> Build(Bytes area, const FrameSpan& span, std::vector<uint8_t>* unconverted) const {
        const Bytes body = area.subspan(span.BodyStart(), span.bodySize);
        if (major_ == 2) {
            bool convertible = true;
            auto frame = BuildV22(LetterView(area.subspan(span.start, 3)), body, convertible);
            if (!convertible && unconverted) Append(*unconverted, area.subspan(span.start, span.End() - span.start));
            return frame;
        }
        return BuildV2x(LetterView(area.subspan(span.start, 4)), span.flags, body);
    }

    std::unique_ptr<Id3Frame> BuildV2x(std::string_view letters, uint16_t flags, Bytes body) const {
        std::vector<uint8_t> resynced;
        if (Unsynchronised(flags)) {
            resynced = id3text::UndoUnsync(body);
            body = resynced;
        }
        FrameFormat format;
        size_t extras = 0;
        if (major_ == 4) {
            format.grouped = flags & 0x0040;        // grouping identity
            format.compressed = flags & 0x0008;     // zlib compression
            format.encrypted = flags & 0x0004;      // encryption
            format.hasDataLength = flags & 0x0001;  // data length indicator
            // Added bytes in v2.4 order: group, method, data length.
            if (format.grouped) format.groupId = body[extras++];
            if (format.encrypted) format.encryptionMethod = body[extras++];
            if (format.hasDataLength) {
                format.dataLength = static_cast<uint32_t>(Syncsafe(body.subspan(extras, 4)));
                extras += 4;
            }
        } else {
            format.compressed = flags & 0x0080;  // v2.3 compression
            format.encrypted = flags & 0x0040;   // v2.3 encryption
            format.grouped = flags & 0x0020;     // v2.3 grouping identity
            // Added bytes in v2.3 order: decompressed size, method, group.
            if (format.compressed) {
                format.dataLength = BigEndian32(body.subspan(extras, 4));
                format.hasDataLength = true;
                extras += 4;
            }
            if (format.encrypted) format.encryptionMethod = body[extras++];
            if (format.grouped) format.groupId = body[extras++];
        }
        const Bytes stored = body.subspan(extras);
        const auto known = LookupFrameId(letters);
        auto make = [&](FrameFamily family) {
            return known ? Id3Frame::Make(*known, flags, family) : Id3Frame::MakeUnknown(letters, flags);
        };
        std::optional<std::vector<uint8_t>> inflated;
        if (format.compressed && !format.encrypted) inflated = Inflate(stored, format.dataLength);
        std::unique_ptr<Id3Frame> frame;
        if (format.encrypted || (format.compressed && !inflated)) {
            // Opaque: kept as stored, written back with its format.
            frame = RawFrame(make(FrameFamily::Raw), stored);
        } else {
            const Bytes contents = inflated ? Bytes(*inflated) : stored;
            // The body's layout follows the identifier as read: a v2.3 IPLS is held as
            // TIPL but its body stays raw.
            frame = make(known ? FamilyOf(*known) : FrameFamily::Raw);
            switch (ReadInto(*frame, contents)) {
                case BodyRead::Dropped: return nullptr;
                case BodyRead::Unfit: frame = RawFrame(make(FrameFamily::Raw), contents); break;
                case BodyRead::Read: break;
            }
            if (inflated) {
                format.dataLength = static_cast<uint32_t>(inflated->size());
                frame->KeepStoredBody(std::vector<uint8_t>(stored.begin(), stored.end()));
            }
        }
        frame->SetFormat(format);
        frame->MarkRead(major_);
        return frame;
    }

    // v2.2: three-letter identifiers mapped to their later forms. `convertible` false:
    // the frame has none.
    std::unique_ptr<Id3Frame> BuildV22(std::string_view id22, Bytes body, bool& convertible) const {
        convertible = false;
        const auto mapped = MapV22Id(id22);
        if (!mapped) return nullptr;
        const auto known = LookupFrameId(*mapped);
        std::unique_ptr<Id3Frame> frame;
        if (id22 == "LNK") {
            const auto converted = LinkBodyFromV22(body);
            if (!converted) return nullptr;
            frame = RawFrame(Id3Frame::Make(kFrameLINK, 0, FrameFamily::Raw), *converted);
        } else if (!known) {
            frame = RawFrame(Id3Frame::MakeUnknown(*mapped, 0), body);
        } else if (id22 == "PIC") {
            // A picture body that does not read cannot be kept raw: its layout is not APIC's.
            frame = Id3Frame::Make(*known, 0, FrameFamily::Picture);
            const BodyRead read = ReadInto(*frame, PictureBodyFromV22(body));
            if (read == BodyRead::Unfit) return nullptr;
            convertible = true;
            if (read == BodyRead::Dropped) return nullptr;
        } else {
            // The other bodies have the layout of their v2.3 forms: one that does not read
            // is kept raw.
            frame = Id3Frame::Make(*known, 0, FamilyOf(*known));
            switch (ReadInto(*frame, body)) {
                case BodyRead::Dropped: convertible = true; return nullptr;
                case BodyRead::Unfit: frame = RawFrame(Id3Frame::Make(*known, 0, FrameFamily::Raw), body); break;
                case BodyRead::Read: break;
            }
        }
        convertible = true;
        frame->MarkRead(2);
        return frame;
    }

    enum class BodyRead { Read, Dropped, Unfit };
    // Fills the frame's fields from its body: Unfit when the body does not fit the
    // layout, Dropped when "SaveEmpty" drops the empty frame.
    BodyRead ReadInto(Id3Frame& frame, Bytes body) const {
        bool dropped = false;
        if (!ReadBody(frame, body, options_, dropped)) return BodyRead::Unfit;
        return dropped ? BodyRead::Dropped : BodyRead::Read;
    }

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

// The size of a valid extended header at the start of the area (v2.3: a size field of
// 6 or more counting what follows it; v2.4: a syncsafe size of 6 or more counting
// itself), all of it within the area; nullopt when the bytes are none.
std::optional<size_t> ExtendedHeaderSize(Bytes area, uint8_t major) {
    if (area.size() < 4) return std::nullopt;
    const Bytes field = area.first(4);
    uint64_t size = 0;
    if (major == 4) {
        if (std::any_of(field.begin(), field.end(), [](uint8_t b) { return b >= 0x80; })) return std::nullopt;
        size = Syncsafe(field);
    } else {
        size = uint64_t{BigEndian32(field)} + 4;
    }
    if (size < (major == 4 ? 6u : 10u) || size > area.size()) return std::nullopt;
    return static_cast<size_t>(size);
}

// A frame header with a well-formed identifier and a size within the area.
bool StartsWithFrame(Bytes area, uint8_t major) {
    if (area.size() < kFrameHeaderSize || !IsWellFormedFrameId(LetterView(area.first(4)))) return false;
    const Bytes size = area.subspan(4, 4);
    return (major == 4 ? Syncsafe(size) : BigEndian32(size)) <= area.size() - kFrameHeaderSize;
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

    const Area read = ReadArea(file, kV2HeaderSize, header->size, fileSize - kV2HeaderSize);
    Bytes area = read.View();
    auto keepUnread = [&tag](Bytes bytes) {
        const Bytes unread = WithoutPadding(bytes);
        tag.SetUnreadBytes(std::vector<uint8_t>(unread.begin(), unread.end()));
    };
    // v2.2 flag 0x40: the whole tag is compressed by a scheme never defined.
    if (major == 2 && header->HasExtendedHeader()) {
        keepUnread(area);
        return result;
    }
    // Tag flag 0x80, unsynchronisation: v2.2 and v2.3 apply it to the whole tag, v2.4 to
    // each frame (the frame sizes count the unsynchronised bytes).
    std::vector<uint8_t> resynced;
    if (header->Unsynchronised() && major != 4) {
        resynced = id3text::UndoUnsync(area);
        area = resynced;
    }
    size_t start = 0;
    if (header->HasExtendedHeader() && (major == 3 || major == 4)) {
        // Extended header: skipped, never interpreted. Some taggers set the flag without
        // writing an extended header, so that a frame follows the tag header at once:
        // bytes that are a frame and no extended header are read as frames.
        if (const auto size = ExtendedHeaderSize(area, major)) {
            start = *size;
        } else if (!StartsWithFrame(area, major)) {
            keepUnread(area);
            return result;
        }
    }
    TagReader(major, header->Unsynchronised() && major == 4, options).ReadFrames(area.subspan(start), tag);
    return result;
}

void ForEachKeptFrame(const KeptFrames& kept, const TagReadOptions& options,
                      const std::function<void(const Id3Frame&)>& visit) {
    TagReader(kept.major, kept.unsynchronised, options).VisitFrames(kept.bytes, visit);
}

}  // namespace quorvane
