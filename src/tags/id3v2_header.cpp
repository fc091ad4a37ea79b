#include "tags/id3v2_header.h"

#include <algorithm>

#include "platform/binary_file.h"

namespace quorvane {

std::optional<V2Header> DecodeV2Header(const uint8_t* bytes, uint64_t available) {
    if (available < kV2HeaderSize) return std::nullopt;
    if (bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') return std::nullopt;
    // header byte 3: major version; 5 and above are not ID3v2 as we know it
    if (bytes[3] >= 5) return std::nullopt;
    V2Header header;
    header.major = bytes[3];
    header.revision = bytes[4];
    header.flags = bytes[5];
    // header bytes 6..9: syncsafe size, top bits deliberately not masked
    header.size = ((uint64_t{bytes[6]} * 128 + bytes[7]) * 128 + bytes[8]) * 128 + bytes[9];
    return header;
}

std::optional<V2Header> ParseV2Header(const uint8_t* bytes, uint64_t available, uint64_t fileSize) {
    if (fileSize <= kV2HeaderSize) return std::nullopt;
    auto header = DecodeV2Header(bytes, available);
    if (header && header->size > fileSize) return std::nullopt;
    return header;
}

std::optional<V2Header> ReadV2Header(BinaryFile& file) {
    const uint64_t fileSize = file.GetSize();
    if (fileSize <= kV2HeaderSize) return std::nullopt;
    uint8_t bytes[kV2HeaderSize] = {};
    file.Seek(0);
    const uint32_t got = file.Read(bytes, kV2HeaderSize);
    return ParseV2Header(bytes, got, fileSize);
}

uint64_t ReadAudioStart(BinaryFile& file) {
    try {
        const auto header = ReadV2Header(file);
        return header ? std::min(header->Extent(), file.GetSize()) : 0;
    } catch (const FileException&) {
        return 0;
    }
}

std::array<uint8_t, kV2HeaderSize> FormatV2Header(bool use24, uint32_t size) {
    return {'I',
            'D',
            '3',
            static_cast<uint8_t>(use24 ? 4 : 3),
            0,  // revision
            0,  // flags: no unsynchronisation, extended header or footer
            static_cast<uint8_t>((size >> 21) & 0x7F),
            static_cast<uint8_t>((size >> 14) & 0x7F),
            static_cast<uint8_t>((size >> 7) & 0x7F),
            static_cast<uint8_t>(size & 0x7F)};
}

}  // namespace quorvane
