#include "mp3/id3v2_header.h"

#include <cstring>

#include "mp3/binary_file.h"

namespace quorvane {

uint64_t AudioStartFromHeader(const uint8_t (&header)[kId3v2HeaderSize], uint64_t fileSize) {
    if (fileSize <= kId3v2HeaderSize) return 0;
    if (std::memcmp(header, "ID3", 3) != 0) return 0;
    if (header[3] >= 5) return 0;  // major version
    // Syncsafe size; the top bit of each byte is not masked off.
    const uint64_t size = ((uint64_t{header[6]} * 128 + header[7]) * 128 + header[8]) * 128 + header[9];
    if (size > fileSize) return 0;
    return size + kId3v2HeaderSize;
}

uint64_t ReadAudioStart(BinaryFile& file) {
    try {
        uint8_t header[kId3v2HeaderSize];
        file.Seek(0);
        if (file.Read(header, kId3v2HeaderSize) != kId3v2HeaderSize) return 0;
        // The size is asked only of files that begin like a tag: most files in a large
        // listing have none, and each question is a system call.
        if (std::memcmp(header, "ID3", 3) != 0) return 0;
        return AudioStartFromHeader(header, file.GetSize());
    } catch (const CFileExceptionEx&) {
        // The stream analysis that follows meets the same failure and reports it.
        return 0;
    }
}

}  // namespace quorvane
