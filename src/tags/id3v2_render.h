#pragma once
// Rendering the frames area of an ID3v2 tag (frame headers and bodies, no tag header,
// no padding). The tag writer puts a header and padding around it.
#include <cstdint>
#include <vector>

namespace quorvane {

class CId3Frame;
class CId3Tag;
struct RenderContext;

// Every frame in list order, as v2.4 (`use24`) or v2.3, texts in the encoding the
// setting "Encoding" chooses for that version; TSIZ is left out, and under v2.4 also
// TDAT, TIME and TRDA. Afterwards every frame and the tag are unchanged (the ID3v1
// flag is left alone).
std::vector<uint8_t> RenderFrames(CId3Tag& tag, bool use24);

// The same bytes without touching the changed marks, for a writer that clears them only
// once the tag is safely on disk.
std::vector<uint8_t> RenderFrameBytes(const CId3Tag& tag, bool use24);

// Appends one frame (header and body), or nothing for a frame left out.
void RenderFrame(const CId3Frame& frame, const RenderContext& context, std::vector<uint8_t>& out);

// Four bytes of 7 bits each, most significant first; higher bits are dropped.
void AppendSyncsafe(std::vector<uint8_t>& out, uint32_t value);

}  // namespace quorvane
