#pragma once
// The MPEG audio stream of a file: its first frame (confirmed by the frame that follows
// it), the encoder's "Xing", "Info" or "VBRI" header inside that frame, the tags at the
// end of the file, and what the file list shows from them (bitrate, VBR mark, duration).
// All MPEG versions (1, 2, 2.5) and layers (I, II, III) are understood. The analysis
// only reads; it never changes the file.
#include <cstdint>

namespace quorvane {

class BinaryFile;

enum class MpegVersion : uint8_t { None, Mpeg1, Mpeg2, Mpeg25 };
enum class ChannelMode : uint8_t { Stereo, JointStereo, DualChannel, SingleChannel };
// The encoder's summary in the first frame: "Xing" and "VBRI" mark variable bitrate,
// "Info" (lame) constant bitrate.
enum class VbrHeader : uint8_t { None, Xing, Info, Vbri };

// What the stream analysis finds. Without a first frame every field keeps its default.
struct MpegStreamInfo {
    uint16_t bitrate = 0;   // kbit/s: the frame header's, or the mean of a VBR stream; 0 when unknown
    bool vbr = false;       // a "Xing" or "VBRI" header
    uint32_t duration = 0;  // whole seconds; 0 when unknown
    MpegVersion version = MpegVersion::None;
    uint8_t layer = 0;        // 1, 2 or 3
    uint32_t sampleRate = 0;  // Hz
    ChannelMode channelMode = ChannelMode::Stereo;
    VbrHeader vbrHeader = VbrHeader::None;
    uint32_t frames = 0;      // the frame count of the encoder's header; 0 when it gives none
    uint32_t header = 0;      // the first frame's four header bytes, big-endian
    uint64_t firstFrame = 0;  // file offset of the first frame
};

// How far behind the audio start (and any ID3v2 tags stacked there) the first frame may
// begin. Files with more junk than this in front of their audio are taken as having none.
inline constexpr uint64_t kFrameSearchLimit = uint64_t{1} << 20;

// True when the four header bytes (big-endian) pass the frame tests: sync bits set,
// no reserved version, layer, sample rate or emphasis, no free-format or bad bitrate.
bool IsFrameHeader(uint32_t header);

// Fields of a header that passes IsFrameHeader; each gives 0 for a reserved value.
uint32_t FrameSampleRate(uint32_t header);  // Hz, by version
uint32_t FrameBitrate(uint32_t header);     // kbit/s, by version and layer
uint32_t FrameSamples(uint32_t header);     // samples per frame: 384, 1152, or 576 (Layer III, MPEG-2/2.5)
uint32_t FrameLength(uint32_t header);      // bytes from the header to the next frame, padding included

// The stream at or after `audioStart` (the end of the ID3v2 tag as the tag reader found
// it; further ID3v2 tags directly behind it are skipped). The first frame is the first
// header that is followed, at its frame length, by a header of the same version, layer
// and sample rate, or by the end of the audio; it must begin within kFrameSearchLimit.
// The duration comes from the encoder header's frame count, or else from the audio bytes
// (first frame to AudioEnd) at the header's bitrate. Throws FileException on read or
// seek failures. The file position afterwards is unspecified.
MpegStreamInfo ReadStreamInfo(BinaryFile& file, uint64_t audioStart);

// Where the audio ends: the file size less the tags at its end (ID3v1, APEv2 or APEv1,
// Lyrics3 v1 or v2), never below `floor`. Throws FileException.
uint64_t AudioEnd(BinaryFile& file, uint64_t floor);

// Whole seconds of `audioBytes` bytes at `bitrate` kbit/s; 0 when the bitrate is 0.
// Exact for every size: bytes × 8 ÷ (bitrate × 1000) is computed as bytes ÷ (bitrate ×
// 125); results beyond 32 bits are held at the largest 32-bit value.
uint32_t StreamDuration(uint64_t audioBytes, uint16_t bitrate);

}  // namespace quorvane
