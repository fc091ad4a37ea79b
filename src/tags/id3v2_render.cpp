#include "tags/id3v2_render.h"

#include "tags/id3_tag.h"

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
    std::vector<uint8_t> body;
    uint16_t flags = 0;
    if (frame.Format().IsOpaque()) flags = FormatPrefix(frame.Format(), context.v24, body);
    for (size_t i = 0; i < frame.FieldCount(); ++i) frame.FieldAt(i).Render(context, body);

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
    for (const auto& frame : tag.Frames()) RenderFrame(*frame, context, out);
    return out;
}

}  // namespace quorvane
