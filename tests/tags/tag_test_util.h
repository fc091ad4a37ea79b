#pragma once
// Helpers for the tag tests: byte builders for frames and tags, reading a tag from bytes
// through a real file, and hand-made frames areas for the writer.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/binary_file.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "tags/id3_tag.h"
#include "tags/id3v2_header.h"
#include "tags/id3v2_reader.h"
#include "tags/id3v2_render.h"

namespace quorvane::tagtest {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
constexpr uint32_t kNever = settings::kNeverDecreasePadding;

inline Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }
inline Bytes B(std::initializer_list<int> values) { return Bytes(values.begin(), values.end()); }
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline Bytes Utf16(std::u16string_view text, bool bigEndian = false) {
    Bytes out;
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(bigEndian ? c >> 8 : c & 0xFF));
        out.push_back(static_cast<uint8_t>(bigEndian ? c & 0xFF : c >> 8));
    }
    return out;
}
inline Bytes Syncsafe(uint32_t v) { return B({int(v >> 21 & 0x7F), int(v >> 14 & 0x7F), int(v >> 7 & 0x7F), int(v & 0x7F)}); }
inline Bytes BigEndian(uint32_t v) { return B({int(v >> 24), int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)}); }

// A frame with a v2.3 (big-endian size) or v2.4 (syncsafe size) header.
inline Bytes Frame(int major, std::string_view id, const Bytes& body, uint16_t flags = 0) {
    return Cat({B(id), major == 4 ? Syncsafe(uint32_t(body.size())) : BigEndian(uint32_t(body.size())),
                B({flags >> 8, flags & 0xFF}), body});
}
// A text frame: encoding byte and the text's bytes as given.
inline Bytes Text(int major, std::string_view id, std::string_view text, int encoding = 0) {
    return Frame(major, id, Cat({B({encoding}), B(text)}));
}
// A v2.2 frame: three letters, 24-bit size.
inline Bytes FrameV22(std::string_view id, const Bytes& body) {
    const auto n = int(body.size());
    return Cat({B(id), B({n >> 16, n >> 8 & 0xFF, n & 0xFF}), body});
}
// A tag: header (size = frames + padding), the frames, zero padding.
inline Bytes Tag(int major, const Bytes& frames, size_t padding = 0, uint8_t flags = 0) {
    Bytes out = Cat({B("ID3"), B({major, 0, flags}), Syncsafe(uint32_t(frames.size() + padding)), frames});
    out.insert(out.end(), padding, 0);
    return out;
}

// Random "audio" that never begins with "ID3".
inline Bytes Audio(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    if (n > 0) v[0] = 0xFF;
    return v;
}

inline std::u16string NativePath(const fs::path& path) { return PathFromNative(path.string()); }
inline ino_t Inode(const fs::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_ino;
}

// Writes the bytes to a file in `dir` and reads its ID3v2 tag; returns the audio start.
inline uint64_t ReadTagBytes(const test::TempDir& dir, const Bytes& bytes, Id3Tag& tag,
                             const TagReadOptions& options = {}) {
    const fs::path path = dir / "read.mp3";
    test::WriteFileBytes(path, bytes);
    BinaryFile file;
    uint32_t error = 0;
    EXPECT_TRUE(file.Open(NativePath(path), OpenMode::Read, error));
    return ReadV2(tag, file, options);
}

// Tags read and files written in a folder of its own.
class TagFileTest : public ::testing::Test {
protected:
    // Reads the tag (followed by audio); it counts as unchanged, as after loading.
    uint64_t Read(const Bytes& tagBytes, Id3Tag& tag, const TagReadOptions& options = {}) {
        const uint64_t start = ReadTagBytes(dir_, Cat({tagBytes, Bytes(64, 0xAA)}), tag, options);
        tag.ClearChanged();
        return start;
    }
    // Makes the song file of these bytes and opens it for saving.
    BinaryFile Open(const Bytes& bytes) {
        test::WriteFileBytes(path_, bytes);
        return test::OpenForSave(path_);
    }
    Bytes After() const { return test::ReadFileBytes(path_); }
    test::TempDir dir_;
    fs::path path_ = dir_ / "song.mp3";
};

inline Bytes Unread(const Id3Tag& tag) { return {tag.UnreadBytes().begin(), tag.UnreadBytes().end()}; }

inline Bytes Render(const Id3Tag& tag, bool v24, uint8_t encoding = 0) {
    return RenderFrameBytes(tag, RenderContext{encoding, v24});
}

// The ids of the tag's frames as a v2.4 tag names them (unknown frames by their letters).
inline std::vector<std::string> FrameLetters(const Id3Tag& tag) {
    std::vector<std::string> out;
    for (const auto& f : tag.Frames()) out.emplace_back(f->IdLetters());
    return out;
}
inline std::vector<std::string> Letters(std::initializer_list<const char*> ids) { return {ids.begin(), ids.end()}; }
inline std::string TextOf(const Id3Tag& tag, FrameId id) { return U8(tag.GetText(id)); }

// A frames area of exactly `length` bytes: a TIT2 frame with `title`, then a TPE1 frame of
// 'x's that fills it up (zeros when less than a frame header is left). Encoding 0 under
// v2.3, 3 under v2.4.
inline Bytes FramesOfLength(size_t length, std::string_view title, bool use24) {
    const int major = use24 ? 4 : 3;
    Bytes out = Text(major, "TIT2", title, use24 ? 3 : 0);
    if (out.size() + 11 <= length) {
        out = Cat({out, Text(major, "TPE1", std::string(length - out.size() - 11, 'x'), use24 ? 3 : 0)});
    }
    out.resize(length, 0);
    return out;
}

// The audio: everything after the ID3v2 tag (and its footer) up to an ID3v1 record.
inline Bytes AudioBytes(const Bytes& file) {
    size_t start = 0;
    if (auto h = ParseV2Header(file.data(), file.size(), file.size())) start = std::min<size_t>(h->Extent(), file.size());
    size_t end = file.size();
    if (end >= start + 128 && std::equal(file.end() - 128, file.end() - 125, "TAG")) end -= 128;
    return {file.begin() + long(start), file.begin() + long(end)};
}

}  // namespace quorvane::tagtest
