#pragma once
// Reading the ID3v2 tag at the start of a file into the tag model.
#include <cstdint>

namespace quorvane {

class BinaryFile;
class CId3Tag;

// Appends the frames of the file's ID3v2 tag (v2.2, v2.3 or v2.4) to `tag` and returns
// the tag's total size (10 + the header's size), which is where the audio begins; 0 when
// the file has no valid ID3v2 header. Never throws: damaged frames are skipped, and a
// failure ends the frame list with the frames read so far.
uint64_t ReadV2(CId3Tag& tag, BinaryFile& file);

}  // namespace quorvane
