#pragma once
// Reading the ID3v2 tag at the start of a file into the tag model.
#include <cstdint>

#include "tags/tag_options.h"

namespace quorvane {

class BinaryFile;
class Id3Tag;

// Appends the frames of the file's ID3v2 tag (v2.2, v2.3 or v2.4) to `tag` and returns
// where the audio begins: the end of the tag (its footer included), or 0 when the file
// has no valid ID3v2 header. Never throws a file failure: damaged frames are skipped,
// and a failure ends the frame list with the frames read so far.
uint64_t ReadV2(Id3Tag& tag, BinaryFile& file, const TagReadOptions& options = {});

}  // namespace quorvane
