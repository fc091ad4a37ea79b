#pragma once
// Helpers for the tag tests: a private settings file, byte builders for frames and
// tags, and reading a tag from bytes through a real file.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_store.h"
#include "platform/binary_file.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "tags/id3_tag.h"
#include "tags/id3v2_reader.h"
#include "tags/id3v2_render.h"

namespace quorvane::tagtest {

using Bytes = std::vector<uint8_t>;

inline Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }
inline Bytes B(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline Bytes Utf16Le(std::u16string_view text) {
    Bytes out;
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}
inline Bytes Utf16Be(std::u16string_view text) {
    Bytes out;
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c & 0xFF));
    }
    return out;
}

inline Bytes Syncsafe(uint32_t v) {
    return B({int((v >> 21) & 0x7F), int((v >> 14) & 0x7F), int((v >> 7) & 0x7F), int(v & 0x7F)});
}
inline Bytes BigEndian(uint32_t v) { return B({int(v >> 24), int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF)}); }

// A frame with a v2.3 (big-endian size) or v2.4 (syncsafe size) header.
inline Bytes Frame(int major, std::string_view id, const Bytes& body, uint16_t flags = 0) {
    return Cat({B(id), major == 4 ? Syncsafe(uint32_t(body.size())) : BigEndian(uint32_t(body.size())),
                B({flags >> 8, flags & 0xFF}), body});
}
// A v2.2 frame: three letters, 24-bit size.
inline Bytes FrameV22(std::string_view id, const Bytes& body) {
    const auto n = uint32_t(body.size());
    return Cat({B(id), B({int(n >> 16), int((n >> 8) & 0xFF), int(n & 0xFF)}), body});
}
// A tag: header (size = frames + padding) then the frames and zero padding.
inline Bytes Tag(int major, const Bytes& frames, size_t padding = 0, uint8_t flags = 0) {
    Bytes out = Cat({B("ID3"), B({major, 0, flags}), Syncsafe(uint32_t(frames.size() + padding)), frames});
    out.insert(out.end(), padding, 0);
    return out;
}

// Settings live in a private file for each test.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SettingsStore::Instance().OpenAt((dir_ / "settings.ini").string())); }
    static void SetNumber(const char* name, uint32_t value) { SettingsStore::Instance().WriteNumber(name, value); }
    static void SetBool(const char* name, bool value) { SettingsStore::Instance().WriteBool(name, value); }
    std::filesystem::path Path(const std::string& name) const { return dir_ / name; }

    test::TempDir dir_;
};

// Writes the bytes to a file and reads its ID3v2 tag.
inline uint64_t ReadTagBytes(const std::filesystem::path& path, const Bytes& bytes, Id3Tag& tag) {
    test::WriteFileBytes(path, bytes);
    BinaryFile file;
    uint32_t error = 0;
    EXPECT_TRUE(file.Open(PathFromNative(path.string()), OpenMode::Read, error));
    return ReadV2(tag, file);
}

// The ids of the tag's frames as written in a v2.4 tag (unknown frames by their letters).
inline std::vector<std::string> FrameLetters(const Id3Tag& tag) {
    std::vector<std::string> out;
    for (const auto& f : tag.Frames()) out.emplace_back(f->IdLetters());
    return out;
}

inline std::string TextOf(const Id3Tag& tag, FrameId id) { return U8(tag.GetText(id)); }

}  // namespace quorvane::tagtest
