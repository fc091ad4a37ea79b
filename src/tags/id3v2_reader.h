#pragma once
// Reading the ID3v2 tag at the start of a file into the tag model.
#include <cstdint>
#include <functional>

#include "tags/tag_options.h"

namespace quorvane {

class BinaryFile;
class Id3Frame;
class Id3Tag;
struct KeptFrames;

// The frames a tag holds as frames; those past this many are kept as bytes, which bounds
// what a tag of millions of tiny frames costs in memory.
inline constexpr uint32_t kV2FrameCap = 50000;

// Appends the frames of the file's ID3v2 tag (v2.2, v2.3 or v2.4) to `tag` and returns
// where the audio begins: the end of the tag (its footer included), or 0 when the file
// has no valid ID3v2 header. Never throws a file failure. Nothing is dropped that a save
// could keep: a frame whose body does not fit its layout is kept raw, frames past the
// cap are kept as bytes (KeptFrameTail), and where the frame list ends at bytes that are
// not padding those bytes are kept (UnreadBytes).
uint64_t ReadV2(Id3Tag& tag, BinaryFile& file, const TagReadOptions& options = {});

// Reads the kept frames one at a time, as the reader reads frames, and passes each.
void ForEachKeptFrame(const KeptFrames& kept, const TagReadOptions& options,
                      const std::function<void(const Id3Frame&)>& visit);

}  // namespace quorvane
