#pragma once
// The 10-byte ID3v2 tag header: the one parser that the reader, the writer's plan and
// the stream analysis share.
#include <array>
#include <cstdint>
#include <optional>

namespace quorvane {

class BinaryFile;

inline constexpr uint32_t kV2HeaderSize = 10;
// Tags stacked at the start of a file (some taggers put a new tag in front of the old
// one) are followed this far and no further.
inline constexpr int kMaxStackedV2Tags = 8;

struct V2Header {
    uint8_t major = 0;
    uint8_t revision = 0;
    uint8_t flags = 0;
    uint64_t size = 0;  // the size field: bytes after the header, a footer not counted

    // Header flag 0x80: unsynchronisation.
    bool Unsynchronised() const { return (flags & 0x80) != 0; }
    // Header flag 0x40: an extended header follows (v2.3 and v2.4; in v2.2 it means
    // compression).
    bool HasExtendedHeader() const { return (flags & 0x40) != 0; }
    // v2.4 header flag 0x10: a 10-byte footer follows the padding.
    bool HasFooter() const { return major == 4 && (flags & 0x10) != 0; }
    // Bytes from the header's start to the end of the tag, footer included.
    uint64_t Extent() const { return kV2HeaderSize + size + (HasFooter() ? kV2HeaderSize : 0); }
};

// The header at the start of `bytes` ("ID3", a major version below 5), whatever the
// size says. The size is decoded without masking the top bit of each byte.
std::optional<V2Header> DecodeV2Header(const uint8_t* bytes, uint64_t available);

// The header of the tag at the start of a file of `fileSize` bytes: no tag when the file
// is not longer than a header or the size field claims more than the whole file.
std::optional<V2Header> ParseV2Header(const uint8_t* bytes, uint64_t available, uint64_t fileSize);

// Reads the first ten bytes of the file and applies ParseV2Header. Throws FileException.
std::optional<V2Header> ReadV2Header(BinaryFile& file);

// Where the audio begins: the end of the tag at the start of the file (capped at the
// file's end), or 0 without one. Never throws: a file that cannot be read gives 0.
uint64_t ReadAudioStart(BinaryFile& file);

// The header of a written tag: no flags, revision 0, syncsafe size (28 bits kept).
std::array<uint8_t, kV2HeaderSize> FormatV2Header(bool use24, uint32_t size);

}  // namespace quorvane
