#include "tags/id3v2_render.h"

#include <optional>
#include <string>

#include "tags/id3_tag.h"
#include "tags/id3v2_reader.h"

namespace quorvane {
namespace {

void AppendBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 24));
    out.push_back(static_cast<uint8_t>(value >> 16));
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

bool LeftOut(FrameId id, bool v24) {
    if (id == kFrameTSIZ) return true;
    return v24 && (id == kFrameTDAT || id == kFrameTIME || id == kFrameTRDA);
}

// The flags and the bytes in front of the body of a frame kept compressed, encrypted or
// grouped, in the layout of the version written.
uint16_t FormatPrefix(const FrameFormat& format, bool v24, std::vector<uint8_t>& prefix) {
    uint16_t flags = 0;
    if (v24) {
        const bool dataLength = format.hasDataLength || format.compressed;
        if (format.grouped) {
            flags |= 0x0040;  // grouping identity
            prefix.push_back(format.groupId);
        }
        if (format.compressed) flags |= 0x0008;
        if (format.encrypted) {
            flags |= 0x0004;
            prefix.push_back(format.encryptionMethod);
        }
        if (dataLength) {
            flags |= 0x0001;  // data length indicator
            AppendSyncsafe(prefix, format.dataLength);
        }
    } else {
        // v2.3 has no data length indicator; a frame that had only that is plain.
        if (format.compressed) {
            flags |= 0x0080;
            AppendBigEndian32(prefix, format.dataLength);
        }
        if (format.encrypted) {
            flags |= 0x0040;
            prefix.push_back(format.encryptionMethod);
        }
        if (format.grouped) {
            flags |= 0x0020;
            prefix.push_back(format.groupId);
        }
    }
    return flags;
}

bool EncodingExists(uint8_t encoding, bool v24) { return encoding <= 1 || (v24 && encoding <= 3); }

// The text encoding of a frame: the one it was read in while none of its texts is edited
// (and the version written has it); otherwise the tag's, except that texts the code page
// cannot hold make encoding 0 give way to UTF-16 with a byte-order mark.
uint8_t FrameEncoding(const Id3Frame& frame, const RenderContext& context) {
    bool anyText = false, allRead = true, fit = true;
    std::optional<uint8_t> read;
    for (size_t i = 0; i < frame.FieldCount(); ++i) {
        const Id3Field& field = frame.FieldAt(i);
        if (field.Kind() != FieldKind::Text) continue;
        const auto& text = static_cast<const TextField&>(field);
        anyText = true;
        if (const auto encoding = text.ReadEncoding()) read = encoding;
        else allRead = false;
        if (context.encoding == 0 && fit) fit = text.FitsCodePage(*context.codePage);
    }
    if (!anyText) return context.encoding;
    if (allRead && read && EncodingExists(*read, context.v24)) return *read;
    return fit ? context.encoding : 1;
}

// The status flags (tag alter preservation, file alter preservation, read only) of a
// frame not edited since it was read; they stand one bit higher in v2.3 than in v2.4.
uint16_t StatusFlags(const Id3Frame& frame, bool v24) {
    if (frame.IsEdited()) return 0;
    uint16_t status = 0;
    if (frame.ReadMajor() == 3) status = (frame.Flags() >> 13) & 7;
    else if (frame.ReadMajor() == 4) status = (frame.Flags() >> 12) & 7;
    return static_cast<uint16_t>(status << (v24 ? 12 : 13));
}

void AppendFields(const Id3Frame& frame, const RenderContext& context, std::vector<uint8_t>& out) {
    for (size_t i = 0; i < frame.FieldCount(); ++i) frame.FieldAt(i).Render(context, out);
}

// Dates across versions. v2.4 has one timestamp, "yyyy-MM-ddTHH:mm:ss" cut after any
// part; v2.3 has the year (TYER), the day and month (TDAT, "DDMM") and the time (TIME,
// "HHMM"), and the original year alone (TORY).
struct Timestamp {
    std::u16string year, month, day, hour, minute;
};

bool IsNumber(std::u16string_view text, size_t digits, int low, int high) {
    if (text.size() != digits) return false;
    int value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c - u'0');
    }
    return value >= low && value <= high;
}

std::optional<Timestamp> ParseTimestamp(std::u16string_view text) {
    constexpr std::u16string_view kSeparators = u"--T::";
    if (text.size() < 4 || (text.size() - 4) % 3 != 0 || text.size() > 19) return std::nullopt;
    const int ranges[][2] = {{1, 12}, {1, 31}, {0, 23}, {0, 59}, {0, 59}};
    if (!IsNumber(text.substr(0, 4), 4, 0, 9999)) return std::nullopt;
    for (size_t part = 0; 4 + 3 * part < text.size(); ++part) {
        const size_t at = 4 + 3 * part;
        if (text[at] != kSeparators[part] || !IsNumber(text.substr(at + 1, 2), 2, ranges[part][0], ranges[part][1]))
            return std::nullopt;
    }
    Timestamp stamp;
    std::u16string* parts[] = {&stamp.month, &stamp.day, &stamp.hour, &stamp.minute};
    stamp.year = text.substr(0, 4);
    for (size_t part = 0; part < 4 && 4 + 3 * part < text.size(); ++part) *parts[part] = text.substr(5 + 3 * part, 2);
    return stamp;
}

// The text of the first frame with that id when it has one value; null otherwise.
const std::u16string* SingleText(const Id3Tag& tag, FrameId id, const Id3Frame** frame = nullptr) {
    const Id3Frame* found = tag.FindFrame(id);
    const TextField* text = found ? found->Text() : nullptr;
    if (!text || !text->MoreValues().empty()) return nullptr;
    if (frame) *frame = found;
    return &text->Text();
}

// What the date frames become in the version written: the frames written in place of a
// frame of the model, and the model's frames left out.
class DateFrames {
public:
    DateFrames(const Id3Tag& tag, bool v24) { v24 ? JoinV23(tag) : SplitV24(tag); }

    // True when the frame is replaced (by the frames rendered here) or left out.
    bool Render(const Id3Frame& frame, const RenderContext& context, std::vector<uint8_t>& out) const {
        for (const auto& [source, frames] : replaced_) {
            if (source != &frame) continue;
            for (const auto& made : frames) RenderFrame(*made, context, out);
            return true;
        }
        return (leaveOutDate_ && frame.Id() == kFrameTDAT) || (leaveOutTime_ && frame.Id() == kFrameTIME);
    }

private:
    using Made = std::vector<std::unique_ptr<Id3Frame>>;

    // v2.3 year, date and time into one timestamp, with as many parts as there are.
    void JoinV23(const Id3Tag& tag) {
        const Id3Frame* yearFrame = nullptr;
        const std::u16string* year = SingleText(tag, kFrameTDRC, &yearFrame);
        const std::u16string* date = SingleText(tag, kFrameTDAT);
        if (!year || !date || !IsNumber(*year, 4, 0, 9999) || !IsNumber(date->substr(0, 2), 2, 1, 31) ||
            !IsNumber(date->substr(std::min<size_t>(2, date->size())), 2, 1, 12))
            return;
        std::u16string joined = *year + u"-" + date->substr(2, 2) + u"-" + date->substr(0, 2);
        const std::u16string* time = SingleText(tag, kFrameTIME);
        if (time && IsNumber(time->substr(0, 2), 2, 0, 23) && IsNumber(time->substr(std::min<size_t>(2, time->size())), 2, 0, 59))
            joined += u"T" + time->substr(0, 2) + u":" + time->substr(2, 2);
        Replace(yearFrame, kFrameTDRC, joined);
    }

    // A v2.4 timestamp into the v2.3 frames that hold its parts; seconds have none.
    void SplitV24(const Id3Tag& tag) {
        const Id3Frame* frame = nullptr;
        if (const std::u16string* text = SingleText(tag, kFrameTDRC, &frame); text && text->size() > 4) {
            if (const auto stamp = ParseTimestamp(*text)) {
                Made& made = Replace(frame, kFrameTDRC, stamp->year);
                if (!stamp->day.empty()) {
                    made.push_back(MakeTextFrame(kFrameTDAT, stamp->day + stamp->month));
                    leaveOutDate_ = true;
                }
                if (!stamp->minute.empty()) {
                    made.push_back(MakeTextFrame(kFrameTIME, stamp->hour + stamp->minute));
                    leaveOutTime_ = true;
                }
            }
        }
        if (const std::u16string* text = SingleText(tag, kFrameTDOR, &frame); text && text->size() > 4)
            if (const auto stamp = ParseTimestamp(*text)) Replace(frame, kFrameTDOR, stamp->year);
    }

    Made& Replace(const Id3Frame* source, FrameId id, const std::u16string& text) {
        Made made;
        made.push_back(MakeTextFrame(id, text));
        replaced_.emplace_back(source, std::move(made));
        return replaced_.back().second;
    }

    std::vector<std::pair<const Id3Frame*, Made>> replaced_;
    bool leaveOutDate_ = false;
    bool leaveOutTime_ = false;
};

}  // namespace

void AppendSyncsafe(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>((value >> 21) & 0x7F));
    out.push_back(static_cast<uint8_t>((value >> 14) & 0x7F));
    out.push_back(static_cast<uint8_t>((value >> 7) & 0x7F));
    out.push_back(static_cast<uint8_t>(value & 0x7F));
}

void RenderFrame(const Id3Frame& frame, const RenderContext& context, std::vector<uint8_t>& out) {
    std::string_view letters = frame.IdLetters();
    if (frame.Id() != kFrameUnknown) {
        const FrameId id = context.v24 ? ToV24Id(frame.Id()) : ToV23Id(frame.Id());
        if (LeftOut(id, context.v24)) return;
        letters = FrameIdName(id);
    }
    RenderContext frameContext = context;
    frameContext.encoding = FrameEncoding(frame, context);
    std::vector<uint8_t> body;
    uint16_t flags = StatusFlags(frame, context.v24);
    const FrameFormat& format = frame.Format();
    const std::vector<uint8_t>* stored = frame.StoredBody();
    if (!stored && (format.compressed || format.encrypted)) {
        // Opaque: the body as stored, with its format in the layout of the version.
        flags |= FormatPrefix(format, context.v24, body);
        AppendFields(frame, frameContext, body);
    } else if (format.IsOpaque() && !frame.IsEdited() && (!stored || frame.ReadMajor() == (context.v24 ? 4 : 3))) {
        // Not edited: compressed bytes go back as they were read; a group is kept.
        if (stored) {
            flags |= FormatPrefix(format, context.v24, body);
            body.insert(body.end(), stored->begin(), stored->end());
        } else {
            std::vector<uint8_t> fields;
            AppendFields(frame, frameContext, fields);
            FrameFormat plain = format;
            plain.dataLength = static_cast<uint32_t>(fields.size());
            flags |= FormatPrefix(plain, context.v24, body);
            body.insert(body.end(), fields.begin(), fields.end());
        }
    } else {
        // Edited (or compressed in another version): written plain, without format flags.
        AppendFields(frame, frameContext, body);
    }

    out.insert(out.end(), letters.begin(), letters.end());
    const auto size = static_cast<uint32_t>(body.size());
    if (context.v24) AppendSyncsafe(out, size);
    else AppendBigEndian32(out, size);
    out.push_back(static_cast<uint8_t>(flags >> 8));
    out.push_back(static_cast<uint8_t>(flags));
    out.insert(out.end(), body.begin(), body.end());
}

std::vector<uint8_t> RenderFrameBytes(const Id3Tag& tag, const RenderContext& context) {
    std::vector<uint8_t> out;
    out.reserve(16384);
    const DateFrames dates(tag, context.v24);
    for (const auto& frame : tag.Frames())
        if (!dates.Render(*frame, context, out)) RenderFrame(*frame, context, out);
    if (const KeptFrames* kept = tag.KeptFrameTail()) {
        if (kept->major == (context.v24 ? 4 : 3) && !kept->unsynchronised) {
            out.insert(out.end(), kept->bytes.begin(), kept->bytes.end());
        } else {
            const TagReadOptions options{.saveEmpty = true, .codePage = context.codePage};
            ForEachKeptFrame(*kept, options, [&](const Id3Frame& frame) { RenderFrame(frame, context, out); });
        }
    }
    return out;
}

}  // namespace quorvane
