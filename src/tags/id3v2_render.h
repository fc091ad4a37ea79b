#pragma once
// Rendering the frames area of an ID3v2 tag (frame headers and bodies, no tag header,
// no padding). The tag writer puts a header and padding around it.
#include <cstdint>
#include <vector>

namespace quorvane {

class Id3Frame;
class Id3Tag;
struct RenderContext;

// Every frame in list order (TSIZ left out, and under v2.4 also TDAT, TIME and TRDA),
// then the frames kept as bytes past the cap, in the context's version. Dates move
// between the v2.3 frames and the v2.4 timestamp. The changed marks are not touched: the
// writer clears them once the tag is safely on disk.
std::vector<uint8_t> RenderFrameBytes(const Id3Tag& tag, const RenderContext& context);

// Appends one frame (header and body), or nothing for a frame left out. The context's
// encoding is the tag's: a frame not edited keeps the encoding it was read in where the
// version has it, and encoding 0 gives way to UTF-16 for texts the code page cannot hold.
// A frame not edited keeps its status flags, its group and its compressed bytes (these
// in the version it was read in).
void RenderFrame(const Id3Frame& frame, const RenderContext& context, std::vector<uint8_t>& out);

// Four bytes of 7 bits each, most significant first; higher bits are dropped.
void AppendSyncsafe(std::vector<uint8_t>& out, uint32_t value);

}  // namespace quorvane
