#pragma once
// Where the audio begins: the size of the ID3v2 tag at the start of the file, taken
// from its 10-byte header alone. The tag reader gives the same number while reading
// the frames; this is for callers that need only the audio.
#include <cstddef>
#include <cstdint>

namespace quorvane {

class BinaryFile;

inline constexpr size_t kId3v2HeaderSize = 10;

// 10 + the header's size field when `header` (the file's first ten bytes) is a valid
// ID3v2 header for a file of `fileSize` bytes, 0 otherwise: "ID3", a major version below
// 5, a size that does not exceed the file (and a file longer than the header).
uint64_t AudioStartFromHeader(const uint8_t (&header)[kId3v2HeaderSize], uint64_t fileSize);

// Reads the first ten bytes of `file` and applies the rule above. Like the tag reader,
// it never throws: a file that cannot be read here yields 0.
uint64_t ReadAudioStart(BinaryFile& file);

}  // namespace quorvane
