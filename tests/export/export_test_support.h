#pragma once
// Records for the export tests (a crafted one-frame MP3 whose "Info" or "Xing" header
// gives the duration), real XML parsers, and a real failing write.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "library/mp3_file_record.h"
#include "platform/text_codec.h"
#include "support/mutagen_support.h"
#include "support/test_support.h"

namespace quorvane::test {

namespace fs = std::filesystem;

// MPEG-1 Layer III, 128 kbit/s, 44,100 Hz; a "Xing" header gives a mean of 96 kbit/s.
inline RecordPtr CraftedRecord(const fs::path& dir, const std::string& name, uint32_t seconds, bool vbr = false) {
    std::vector<uint8_t> frame(417, 0);
    const uint32_t frames = static_cast<uint32_t>((uint64_t{seconds} * 44100 + 1151) / 1152), bytes = frames * 314;
    const uint8_t head[] = {0xFF, 0xFB, 0x90, 0x00};
    std::copy(head, head + 4, frame.begin());
    std::copy_n(vbr ? "Xing" : "Info", 4, frame.begin() + 36);
    frame[43] = vbr ? 0x03 : 0x01;  // frame count (and byte count) present
    for (int i = 0; i < 4; ++i) frame[44 + i] = static_cast<uint8_t>(frames >> (24 - 8 * i));
    for (int i = 0; i < 4; ++i) frame[48 + i] = static_cast<uint8_t>(bytes >> (24 - 8 * i));
    WriteFileBytes(dir / name, frame);
    const SharedText directory(PathFromNative(dir.string()));
    auto record = std::make_shared<Mp3FileRecord>(directory, PathFromNative(name), directory);
    RecordingPrompts prompts;
    EXPECT_TRUE(record->LoadFile(prompts, {}));
    EXPECT_EQ(record->Stream().duration, seconds);
    return record;
}

inline std::string Bytes(const fs::path& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// xmllint's complaint about a document; empty when it is well-formed.
inline std::string XmllintErrors(const std::string& document) {
    const CommandResult r = RunCommand({"xmllint", "--noout", "-"}, document);
    return r.status == 0 ? std::string() : r.err;
}

// What Python's xml.etree reads: a line per element, "<depth> <tag> name=<JSON> ...".
inline std::string ParseWithPython(const std::string& document) {
    return Py(R"(import xml.etree.ElementTree as ET
def walk(e, depth):
    print(depth, e.tag, ' '.join('%s=%s' % (k, json.dumps(v)) for k, v in e.attrib.items()))
    for c in e: walk(c, depth + 1)
walk(ET.fromstring(sys.stdin.buffer.read()), 0))",
              document) + "\n";
}

// While it lives, writes beyond `limit` bytes fail (EFBIG), for root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) : previous_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int);
};

}  // namespace quorvane::test
