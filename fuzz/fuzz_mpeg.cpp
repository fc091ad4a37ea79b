// Fuzzes the stream analysis over arbitrary file contents. Checks that it never
// crashes or reads outside its buffers (the sanitizers), that it gives the same result
// through plain reads, through a load's read-ahead and on a second run, that every
// figure is consistent with the header it reports, and that the first frame is the one
// a window-by-window search over the bytes in memory finds.
//
// Input: two bytes of zero-filled prefix length (moves the payload across the read
// boundaries), one byte of options, then the file's payload. Options: bit 0 takes the
// audio start from the tag header, else bits 2-7 give it in steps of 509 bytes; bit 1
// puts the payload within 8 bytes before one of the search's read boundaries instead.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/binary_file.h"
#include "mp3/mpeg_stream.h"
#include "platform/text_codec.h"
#include "tags/id3v2_header.h"

namespace {

using quorvane::MpegStreamInfo;
using quorvane::MpegVersion;
using quorvane::VbrHeader;

[[noreturn]] void Fail(const char* what, uint64_t a, uint64_t b) {
    std::fprintf(stderr, "mismatch in %s: %llu vs %llu\n", what, static_cast<unsigned long long>(a),
                 static_cast<unsigned long long>(b));
    std::abort();
}

void Same(const char* what, const MpegStreamInfo& a, const MpegStreamInfo& b) {
    if (a.bitrate != b.bitrate) Fail(what, a.bitrate, b.bitrate);
    if (a.vbr != b.vbr) Fail(what, a.vbr, b.vbr);
    if (a.duration != b.duration) Fail(what, a.duration, b.duration);
    if (a.version != b.version) Fail(what, uint64_t(a.version), uint64_t(b.version));
    if (a.layer != b.layer || a.sampleRate != b.sampleRate || a.channelMode != b.channelMode) Fail(what, 0, 1);
    if (a.vbrHeader != b.vbrHeader || a.frames != b.frames) Fail(what, a.frames, b.frames);
    if (a.header != b.header || a.firstFrame != b.firstFrame) Fail(what, a.firstFrame, b.firstFrame);
}

uint32_t Be(const uint8_t* p) { return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]; }

// Where the search begins: behind ID3v2 tags and v2.4 footers stacked at the audio start.
uint64_t PlainStart(const std::vector<uint8_t>& bytes, uint64_t at) {
    for (int i = 0; i < 8 && at + 10 <= bytes.size(); ++i) {
        const uint8_t* p = bytes.data() + at;
        if (p[0] == '3' && p[1] == 'D' && p[2] == 'I' && p[3] == 4) {
            at += 10;
            continue;
        }
        const auto tag = quorvane::DecodeV2Header(p, 10);
        if (!tag || tag->Extent() > bytes.size() - at) break;
        at += tag->Extent();
    }
    return at;
}

// The first header from `start` whose stream goes on: the next header of the same
// version, layer and sample rate at its frame length, or the end of the audio there.
int64_t PlainFirstFrame(const std::vector<uint8_t>& bytes, uint64_t start, uint64_t audioEnd) {
    const uint64_t size = bytes.size();
    for (uint64_t i = start; i + 4 <= size && i < start + quorvane::kFrameSearchLimit; ++i) {
        const uint32_t h = Be(&bytes[i]);
        if (!quorvane::IsFrameHeader(h)) continue;
        const uint64_t next = i + quorvane::FrameLength(h);
        if (next > size) continue;
        if (next + 4 <= size) {
            const uint32_t n = Be(&bytes[next]);
            if (quorvane::IsFrameHeader(n) && (n & 0x001E0C00u) == (h & 0x001E0C00u)) return int64_t(i);
        }
        if (next == size || next == audioEnd) return int64_t(i);
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static const int fd = memfd_create("fuzz_mpeg", 0);
    if (fd < 0) std::abort();
    const uint8_t options = data[2];
    // The ends of the first read and of the next two 32 KiB blocks (three bytes carried).
    static const size_t kBoundaries[3] = {1024, 1021 + 32768, 1021 + 32765 + 32768};
    const size_t prefix =
        (options & 2) ? kBoundaries[data[1] % 3] - data[0] % 8 : data[0] | (size_t{data[1]} << 8);
    data += 3;
    size -= 3;
    if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(prefix)) != 0) std::abort();
    if (size && pwrite(fd, data, size, static_cast<off_t>(prefix)) != static_cast<ssize_t>(size)) std::abort();
    std::vector<uint8_t> bytes(prefix + size, 0);
    if (size) std::memcpy(bytes.data() + prefix, data, size);

    const std::u16string path = quorvane::PathFromNative("/proc/self/fd/" + std::to_string(fd));
    quorvane::BinaryFile file;
    quorvane::BinaryFile ahead;
    uint32_t error = 0;
    if (!file.Open(path, quorvane::OpenMode::Read, error)) std::abort();
    if (!ahead.OpenForLoading(path, error)) std::abort();
    const uint64_t fileSize = file.GetSize();
    if (fileSize != bytes.size() || ahead.GetSize() != fileSize) Fail("size", fileSize, bytes.size());

    const uint64_t audioStart = (options & 1) ? quorvane::ReadAudioStart(file) : (options >> 2) * uint64_t{509};
    const MpegStreamInfo info = quorvane::ReadStreamInfo(file, audioStart);
    Same("second run", info, quorvane::ReadStreamInfo(file, audioStart));
    Same("read-ahead", info, quorvane::ReadStreamInfo(ahead, audioStart));

    // The end of the audio: within the file, never below the floor, the same both ways.
    for (const uint64_t floor : {uint64_t{0}, audioStart}) {
        const uint64_t end = quorvane::AudioEnd(file, floor);
        if (end > fileSize || end < std::min(floor, fileSize)) Fail("audio end", end, floor);
        if (quorvane::AudioEnd(ahead, floor) != end) Fail("read-ahead audio end", end, floor);
    }

    const uint64_t start = PlainStart(bytes, audioStart);
    const uint64_t audioEnd = quorvane::AudioEnd(file, start);
    const int64_t expected = PlainFirstFrame(bytes, start, audioEnd);
    if (info.version == MpegVersion::None) {
        if (expected >= 0) Fail("missed frame", uint64_t(expected), 0);
        if (info.bitrate != 0 || info.vbr || info.duration != 0 || info.vbrHeader != VbrHeader::None)
            Fail("figures without a frame", info.bitrate, info.duration);
        return 0;
    }
    if (expected < 0 || info.firstFrame != uint64_t(expected)) Fail("first frame", info.firstFrame, uint64_t(expected));

    // The figures agree with the header reported, which is the bytes at the first frame.
    const uint32_t h = info.header;
    if (info.firstFrame + 4 > fileSize || Be(&bytes[info.firstFrame]) != h) Fail("header bytes", h, 0);
    if (!quorvane::IsFrameHeader(h)) Fail("header test", h, 0);
    if (info.firstFrame + quorvane::FrameLength(h) > fileSize) Fail("frame beyond the file", info.firstFrame, 0);
    if (info.sampleRate != quorvane::FrameSampleRate(h) || info.sampleRate == 0)
        Fail("sample rate", info.sampleRate, 0);
    if (info.layer != 4 - ((h >> 17) & 3)) Fail("layer", info.layer, h);
    const uint64_t samples = quorvane::FrameSamples(h);
    // Tags at the end whose sizes reach over the first frame leave no audio bytes.
    const uint64_t audioBytes = audioEnd > info.firstFrame ? audioEnd - info.firstFrame : 0;
    const bool counted = info.frames != 0;
    if (counted) {
        const uint64_t seconds = uint64_t{info.frames} * samples / info.sampleRate;
        if (info.duration != std::min<uint64_t>(seconds, UINT32_MAX))
            Fail("duration from frames", info.duration, seconds);
    }
    switch (info.vbrHeader) {
        case VbrHeader::None:
            if (info.vbr || info.bitrate != quorvane::FrameBitrate(h)) Fail("constant bitrate", info.bitrate, h);
            if (info.duration != quorvane::StreamDuration(audioBytes, info.bitrate))
                Fail("duration from bytes", info.duration, audioEnd);
            break;
        case VbrHeader::Info:
            if (info.vbr || info.bitrate == 0 || info.bitrate > 448) Fail("Info bitrate", info.bitrate, h);
            if (!counted && info.duration != quorvane::StreamDuration(audioBytes, info.bitrate))
                Fail("Info duration from bytes", info.duration, audioEnd);
            break;
        case VbrHeader::Xing:
        case VbrHeader::Vbri:
            if (!info.vbr) Fail("VBR flag", 0, 1);
            if (!counted && (info.bitrate != 0 || info.duration != 0)) Fail("VBR without frames", info.bitrate, 0);
            if (((h >> 17) & 3) != 1) Fail("VBR header outside Layer III", h, 0);
            break;
    }
    return 0;
}
