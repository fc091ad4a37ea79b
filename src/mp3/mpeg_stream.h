#pragma once
// The first MPEG audio frame behind the ID3v2 tag: its header, the "Xing"/"Info" header
// inside it, and what the file list shows from them (bitrate, VBR mark, duration).
// The analysis only reads; it never changes the file.
#include <cstdint>

namespace quorvane {

class BinaryFile;

// What the first frame says about the stream.
struct MpegStreamInfo {
    uint16_t bitrate = 0;  // kbit/s; 0 when unknown
    bool vbr = false;      // a "Xing" or "Info" header was found
};

// True when the four header bytes (big-endian) pass the frame tests: sync bits set,
// no reserved version, layer, sample rate or emphasis, no free-format or bad bitrate.
bool IsFrameHeader(uint32_t header);

// Searches forward from the file's position for the first header that passes the tests.
// On success stores it in `header` and leaves the file just behind its four bytes.
// Returns false when the end of the file comes first. Throws FileException.
bool FindFrameHeader(BinaryFile& file, uint32_t& header);

// Bitrate and VBR flag of the first frame at or after `audioStart`. Only MPEG-1 Layer III
// streams get a bitrate; anything else, or no frame at all, gives {0, false}.
// Throws FileException on read or seek failures. The file position afterwards is
// unspecified.
MpegStreamInfo ReadStreamInfo(BinaryFile& file, uint64_t audioStart);

// Hz of an MPEG-1 header (44100, 48000, 32000 by sample-rate index); 0 for index 3.
uint32_t FrameSampleRate(uint32_t header);
// kbit/s of an MPEG-1 Layer III header by bitrate index; 0 for indexes 0 and 15.
uint32_t FrameBitrate(uint32_t header);

// Whole seconds of a file of `fileSize` bytes (tags included) at `bitrate` kbit/s;
// 0 when the bitrate is 0. Exact for every size: size × 8 ÷ (bitrate × 1000) is
// computed as size ÷ (bitrate × 125), which needs no wider type; results beyond
// 32 bits are held at the largest 32-bit value.
uint32_t StreamDuration(uint64_t fileSize, uint16_t bitrate);

}  // namespace quorvane
