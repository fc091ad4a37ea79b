// The one ID3v2 header parser: its rules, the header the writer formats, and the reader,
// the writer and the remover agreeing on where the tag of a file ends.
#include "tag_test_util.h"
#include "tags/id3v2_write_plan.h"
#include "tags/id3v2_writer.h"

namespace quorvane::tagtest {
namespace {

using Header = std::array<uint8_t, 10>;

TEST(V2Header, FormattedSizesParseBack) {
    EXPECT_EQ(FormatV2Header(true, 3182), (Header{'I', 'D', '3', 4, 0, 0, 0, 0, 0x18, 0x6E}));
    EXPECT_EQ(FormatV2Header(false, 0x0FFFFFFF), (Header{'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}));
    for (uint32_t size : {0u, 127u, 128u, 16383u, 16384u, 2097151u, 2097152u, 0x0FFFFFFFu}) {
        const Header bytes = FormatV2Header(true, size);
        EXPECT_TRUE(std::all_of(bytes.begin() + 6, bytes.end(), [](uint8_t b) { return b < 0x80; })) << size;
        const auto header = DecodeV2Header(bytes.data(), bytes.size());
        ASSERT_TRUE(header);
        EXPECT_EQ(header->size, size);
        EXPECT_EQ(header->Extent(), size + 10u);
    }
}

TEST(V2Header, WhatCountsAsATag) {
    struct Case {
        const char* name;
        Header bytes;
        uint64_t fileSize;
        std::optional<uint64_t> extent;  // nullopt: no tag
    };
    const Case cases[] = {
        {"v2.3", {'I', 'D', '3', 3, 0, 0, 0, 0, 0x07, 0x5E}, 5000, 1000},
        {"v2.4 footer", {'I', 'D', '3', 4, 0, 0x10, 0, 0, 0x07, 0x5E}, 5000, 1010},
        {"footer flag in v2.3", {'I', 'D', '3', 3, 0, 0x10, 0, 0, 0x07, 0x5E}, 5000, 1000},
        {"v2.2", {'I', 'D', '3', 2, 0, 0, 0, 0, 0x07, 0x5E}, 5000, 1000},
        {"unmasked top bits", {'I', 'D', '3', 3, 0, 0, 0, 0, 0x01, 0x80}, 5000, 266},
        {"major 5", {'I', 'D', '3', 5, 0, 0, 0, 0, 0, 1}, 5000, std::nullopt},
        {"wrong magic", {'I', 'D', '4', 3, 0, 0, 0, 0, 0, 1}, 5000, std::nullopt},
        {"ten-byte file", {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0}, 10, std::nullopt},
        {"size equal to the file", {'I', 'D', '3', 3, 0, 0, 0, 0, 0x07, 0x5E}, 990, 1000},
        {"size beyond the file", {'I', 'D', '3', 3, 0, 0, 0, 0, 0x07, 0x5E}, 989, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto header = ParseV2Header(c.bytes.data(), c.bytes.size(), c.fileSize);
        EXPECT_EQ(header ? std::optional(header->Extent()) : std::nullopt, c.extent) << c.name;
    }
    EXPECT_FALSE(ParseV2Header(cases[0].bytes.data(), 9, 5000));
}

// Files whose header the parts must read alike: where the reader says the audio starts
// is what the writer keeps behind its new tag and what the remover leaves.
TEST(V2Header, ReaderWriterAndRemoverAgree) {
    const Bytes audio = Audio(3000, 1);
    auto tagged = [&](Header h, size_t body) { return Cat({Bytes(h.begin(), h.end()), Bytes(body, 0), audio}); };
    const Header v23 = FormatV2Header(false, 500);
    Header footer = FormatV2Header(true, 500);
    footer[5] = 0x10;
    Header major5 = v23, v22 = v23;
    major5[3] = 5;
    v22[3] = 2;
    const std::pair<const char*, Bytes> files[] = {
        {"no tag", audio},
        {"ten bytes", Bytes(v23.begin(), v23.end())},
        {"v2.3", tagged(v23, 500)},
        {"v2.4 footer", tagged(footer, 510)},
        {"major 5", tagged(major5, 500)},
        {"v2.2", tagged(v22, 500)},
        // Ten header bytes and 3000 more: the size field against the file's length.
        {"tag only", tagged(FormatV2Header(false, 3000), 0)},
        {"tag cut by the end", tagged(FormatV2Header(false, 3005), 0)},
        {"size equal to the file", tagged(FormatV2Header(false, 3010), 0)},
        {"size beyond the file", tagged(FormatV2Header(false, 3011), 0)},
    };
    test::TempDir dir;
    const fs::path path = dir / "agree.mp3";
    for (const auto& [name, bytes] : files) {
        for (const size_t length : {40, 700}) {  // frames that fit an old tag, and frames that do not
            SCOPED_TRACE(testing::Message() << name << ", frames " << length);
            test::WriteFileBytes(path, bytes);
            const ino_t inode = Inode(path);
            BinaryFile file = test::OpenForSave(path);
            const auto header = ReadV2Header(file);
            Id3Tag tag;
            const uint64_t audioStart = ReadV2(tag, file);
            EXPECT_EQ(audioStart, header ? std::min<uint64_t>(header->Extent(), bytes.size()) : 0);

            // The writer keeps what the reader calls audio, behind the tag it planned.
            const Bytes frames = FramesOfLength(length, "T", length == 40);
            const V2WritePlan plan = WriteV2Frames(frames, file, NativePath(path), {.use24 = length == 40});
            EXPECT_EQ(plan.kind == V2WriteKind::Insert, !header);
            EXPECT_EQ(plan.keepFrom, audioStart);
            EXPECT_EQ(test::ReadFileBytes(path), Cat({BuildV2TagBytes(frames, length == 40, plan.padding),
                                                      Bytes(bytes.begin() + long(audioStart), bytes.end())}));
            EXPECT_EQ(Inode(path) == inode, !plan.MovesAudio());  // a move makes a new file
            file.Close();

            test::WriteFileBytes(path, bytes);
            BinaryFile again = test::OpenForSave(path);
            // The remover takes every whole tag, also one with nothing behind it, and
            // names one that claims more than the file holds instead of leaving it silently.
            const V2Removal removal = RemoveV2Tags(again, NativePath(path));
            const auto decoded = DecodeV2Header(bytes.data(), bytes.size());
            const bool whole = decoded && decoded->Extent() <= bytes.size();
            EXPECT_EQ(removal.tags, whole ? 1 : 0);
            EXPECT_EQ(removal.overlong.has_value(), decoded && !whole);
            if (whole) {
                EXPECT_EQ(audioStart, decoded->Extent());
            }
            EXPECT_EQ(test::ReadFileBytes(path), whole ? Bytes(bytes.begin() + long(audioStart), bytes.end()) : bytes);
        }
    }
}

}  // namespace
}  // namespace quorvane::tagtest
