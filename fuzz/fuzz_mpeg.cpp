// Fuzzes the frame search and stream analysis over arbitrary file contents, and
// checks them against a plain reading of the rules: 32768-byte blocks searched window
// by window with the last three bytes searched again, and the Xing fields read one
// after another from the file.
//
// Input: two bytes of zero-filled prefix length (moves the payload across the read
// boundaries), one byte of options, then the file's payload.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/binary_file.h"
#include "tags/id3v2_header.h"
#include "mp3/mpeg_stream.h"
#include "platform/text_codec.h"

namespace quorvane {
// Where the audio starts: the end of the ID3v2 tag, at most the end of the file.
static uint64_t ReadAudioStart(BinaryFile& f) {
    const auto h = ReadV2Header(f);
    return h ? std::min(h->Extent(), f.GetSize()) : 0;
}
}  // namespace quorvane

namespace {

using quorvane::BinaryFile;
using quorvane::MpegStreamInfo;
using quorvane::OpenMode;

bool PlainHeaderTest(uint32_t h) {
    const uint32_t sync = h >> 21, version = (h >> 19) & 3, layer = (h >> 17) & 3, rate = (h >> 12) & 15,
                   sr = (h >> 10) & 3, emphasis = h & 3;
    return sync == 0x7FF && version != 1 && layer != 0 && rate != 0 && rate != 15 && sr != 3 && emphasis != 2;
}

uint32_t Be(const uint8_t* p) { return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]; }

bool PlainFind(BinaryFile& file, uint32_t& h) {
    static uint8_t block[32768];
    for (;;) {
        const uint64_t start = file.GetPosition();
        const uint32_t n = file.Read(block, sizeof block);
        if (n < 4) return false;
        for (uint32_t i = 0; i + 4 <= n; ++i) {
            if (PlainHeaderTest(Be(block + i))) {
                file.Seek(start + i + 4);
                h = Be(block + i);
                return true;
            }
        }
        file.Seek(start + n - 3);
    }
}

bool ReadField(BinaryFile& file, uint32_t& value) {
    uint8_t b[4];
    if (file.Read(b, 4) != 4) return false;
    value = Be(b);
    return true;
}

MpegStreamInfo PlainInfo(BinaryFile& file, uint64_t audioStart) {
    MpegStreamInfo info;
    file.Seek(audioStart);
    uint32_t h = 0;
    if (!PlainFind(file, h)) return info;
    if (((h >> 19) & 3) != 3 || ((h >> 17) & 3) != 1) return info;
    static const uint16_t kKbit[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    info.bitrate = kKbit[(h >> 12) & 15];
    uint8_t side[32];
    file.Read(side, ((h >> 6) & 3) == 3 ? 17 : 32);
    char tag[4] = {};
    if (file.Read(tag, 4) != 4) return info;
    if (std::memcmp(tag, "Xing", 4) != 0 && std::memcmp(tag, "Info", 4) != 0) return info;
    info.vbr = true;
    uint32_t flags = 0, frames = 0, bytes = 0;
    bool haveFrames = false, haveBytes = false;
    if (ReadField(file, flags)) {
        if (flags & 1) haveFrames = ReadField(file, frames);
        if (flags & 2) haveBytes = ReadField(file, bytes);
    }
    info.bitrate = 0;
    if (haveFrames && haveBytes && frames != 0) {
        static const double kSampleRate[4] = {44100, 48000, 32000, 0};
        const double rate = (kSampleRate[(h >> 10) & 3] * (double(bytes) / double(frames))) * (1.0 / 144000);
        if (rate < 65536.0) info.bitrate = static_cast<uint16_t>(rate);
    }
    return info;
}

[[noreturn]] void Mismatch(const char* what, uint64_t a, uint64_t b) {
    std::fprintf(stderr, "mismatch in %s: %llu vs %llu\n", what, static_cast<unsigned long long>(a),
                 static_cast<unsigned long long>(b));
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static const int fd = memfd_create("fuzz_mpeg", 0);
    if (fd < 0) std::abort();
    const size_t prefix = data[0] | (size_t{data[1]} << 8);
    const uint8_t options = data[2];
    data += 3;
    size -= 3;
    if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(prefix)) != 0) std::abort();
    if (size && pwrite(fd, data, size, static_cast<off_t>(prefix)) != static_cast<ssize_t>(size)) std::abort();

    BinaryFile file;
    uint32_t error = 0;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (!file.Open(quorvane::PathFromNative(path), OpenMode::Read, error)) std::abort();

    const uint64_t fileSize = file.GetSize();
    const uint64_t audioStart = (options & 1) ? quorvane::ReadAudioStart(file) : (options >> 1) * uint64_t{509};
    const MpegStreamInfo info = quorvane::ReadStreamInfo(file, audioStart);
    const MpegStreamInfo plain = PlainInfo(file, audioStart);
    if (info.bitrate != plain.bitrate) Mismatch("bitrate", info.bitrate, plain.bitrate);
    if (info.vbr != plain.vbr) Mismatch("vbr", info.vbr, plain.vbr);
    // The same through the read-ahead of a load.
    BinaryFile ahead;
    if (!ahead.OpenForLoading(quorvane::PathFromNative(path), error)) std::abort();
    if (ahead.GetSize() != fileSize) Mismatch("size", ahead.GetSize(), fileSize);
    const MpegStreamInfo aheadInfo = quorvane::ReadStreamInfo(ahead, audioStart);
    if (aheadInfo.bitrate != plain.bitrate) Mismatch("read-ahead bitrate", aheadInfo.bitrate, plain.bitrate);
    if (aheadInfo.vbr != plain.vbr) Mismatch("read-ahead vbr", aheadInfo.vbr, plain.vbr);
    const uint32_t duration = quorvane::StreamDuration(fileSize, info.bitrate);
    if (info.bitrate != 0 && duration != fileSize * 8 / (uint64_t{info.bitrate} * 1000))
        Mismatch("duration", duration, fileSize);

    // The bare search from an arbitrary position: same header, same position behind it.
    const uint64_t from = audioStart / 3;
    uint32_t h1 = 0, h2 = 0;
    file.Seek(from);
    const bool found1 = quorvane::FindFrameHeader(file, h1);
    const uint64_t at1 = found1 ? file.GetPosition() : 0;
    file.Seek(from);
    const bool found2 = PlainFind(file, h2);
    const uint64_t at2 = found2 ? file.GetPosition() : 0;
    uint32_t h3 = 0;
    ahead.Seek(from);
    const bool found3 = quorvane::FindFrameHeader(ahead, h3);
    if (found3 != found2) Mismatch("read-ahead found", found3, found2);
    if (found3 && (h3 != h2 || ahead.GetPosition() != at2)) Mismatch("read-ahead position", ahead.GetPosition(), at2);
    if (found1 != found2) Mismatch("found", found1, found2);
    if (found1 && (h1 != h2 || at1 != at2)) Mismatch("position", at1, at2);
    if (found1 && !quorvane::IsFrameHeader(h1)) Mismatch("header test", h1, 0);
    return 0;
}
