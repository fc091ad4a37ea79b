// The padding rule and the insert / grow / in-place / cut decision, as pure arithmetic.
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "tags/id3v2_write_plan.h"

namespace quorvane {
namespace {

TEST(WriterPlan, PaddingFillsUpToTheNextMultipleOf4096) {
    EXPECT_EQ(PadFor(5310), 2882u);
    EXPECT_EQ(PadFor(4096), 4096u);  // already a multiple: a whole block, never 0
    EXPECT_EQ(PadFor(0), 4096u);
    EXPECT_EQ(PadFor(1), 4095u);
    EXPECT_EQ(PadFor(8191), 1u);
    // Beyond 32 bits the arithmetic still holds.
    EXPECT_EQ(PadFor((uint64_t{1} << 32) + 10), 4086u);
    for (uint64_t x = 0; x < 3 * 4096; x += 7) {
        const uint32_t p = PadFor(x);
        ASSERT_GE(p, 1u);
        ASSERT_LE(p, 4096u);
        ASSERT_EQ((x + p) % 4096, 0u) << x;
    }
}

struct PlanCase {
    const char* name;
    std::optional<uint64_t> oldSpace;
    uint64_t frames;
    uint64_t fileSize;
    uint32_t decrease;
    V2WriteKind kind;
    uint64_t padding;
    uint64_t newLength;
    uint64_t shiftStart, shiftDistance, cutCount;
};

constexpr uint32_t kNever = 4294967295u;

const PlanCase kPlanCases[] = {
    // No tag, 5000 bytes of audio, 300 bytes of frames: size field 3182, length 8192.
    {"insert", std::nullopt, 300, 5000, kNever, V2WriteKind::Insert, 2882, 8192, 0, 3192, 0},
    // Insert whose unpadded length is already a multiple of 4096.
    {"insert exact", std::nullopt, 86, 4000, kNever, V2WriteKind::Insert, 4096, 8192, 0, 4192, 0},
    // Old tag 2000, frames 1500, file 100000: in place, 500 bytes padding, same length.
    {"in place", 2000, 1500, 100000, kNever, V2WriteKind::InPlace, 500, 100000, 0, 0, 0},
    // Old tag 600000, frames 1000, file 5000000, threshold 128 KB: cut 596800.
    {"cut", 600000, 1000, 5000000, 131072, V2WriteKind::Cut, 2200, 4403200, 0, 0, 596800},
    // The same with "never": the tag keeps its size.
    {"cut never", 600000, 1000, 5000000, kNever, V2WriteKind::InPlace, 599000, 5000000, 0, 0, 0},
    // Surplus just below the threshold stays; at the threshold it goes.
    {"below threshold", 600000, 1000, 5000000, 596801, V2WriteKind::InPlace, 599000, 5000000, 0, 0, 0},
    {"at threshold", 600000, 1000, 5000000, 596800, V2WriteKind::Cut, 2200, 4403200, 0, 0, 596800},
    // Old tag 100, frames 300, file 10000: audio up by 2288, padding 2088, length 12288.
    {"grow", 100, 300, 10000, kNever, V2WriteKind::Grow, 2088, 12288, 110, 2288, 0},
    // A v2.4 footer adds 10 bytes of space: size 990 + footer fits 1000 bytes exactly.
    {"footer reused", 1000, 1000, 50000, kNever, V2WriteKind::InPlace, 0, 50000, 0, 0, 0},
    // Frames that exactly fill the old space; an empty frames area into a tag.
    {"exact fit", 4000, 4000, 9000, 0, V2WriteKind::InPlace, 0, 9000, 0, 0, 0},
    {"empty frames", 500, 0, 3000, 0, V2WriteKind::InPlace, 500, 3000, 0, 0, 0},
    // Old ≤ ideal: never cut even with threshold 0.
    {"old below ideal", 3000, 100, 20000, 0, V2WriteKind::InPlace, 2900, 20000, 0, 0, 0},
};

TEST(WriterPlan, WorkedExamples) {
    for (const PlanCase& c : kPlanCases) {
        SCOPED_TRACE(c.name);
        const V2WritePlan plan = PlanV2Write(c.oldSpace, c.frames, c.fileSize, c.decrease);
        EXPECT_EQ(plan.kind, c.kind);
        EXPECT_EQ(plan.padding, c.padding);
        EXPECT_EQ(plan.newLength, c.newLength);
        EXPECT_EQ(plan.tagBytes, 10 + c.frames + c.padding);
        EXPECT_EQ(plan.shiftStart, c.shiftStart);
        EXPECT_EQ(plan.shiftDistance, c.shiftDistance);
        EXPECT_EQ(plan.cutCount, c.cutCount);
        // Whatever moves, the kept bytes end the new file.
        EXPECT_EQ(plan.keepFrom, c.oldSpace ? *c.oldSpace + 10 : 0);
        EXPECT_EQ(plan.newLength, plan.tagBytes + c.fileSize - plan.keepFrom);
        if (plan.kind != V2WriteKind::InPlace) {
            EXPECT_EQ(plan.newLength % 4096, 0u);
        }
    }
}

TEST(WriterPlan, HeaderBytes) {
    // Size 3182 = 0x0C6E: syncsafe 00 00 18 6E.
    const auto h = FormatV2Header(true, 3182);
    const uint8_t expected[10] = {'I', 'D', '3', 4, 0, 0, 0x00, 0x00, 0x18, 0x6E};
    EXPECT_TRUE(std::equal(h.begin(), h.end(), expected));
    EXPECT_EQ(FormatV2Header(false, 0)[3], 3);
    const auto big = FormatV2Header(true, 0x0FFFFFFF);
    EXPECT_EQ(big[6], 0x7F);
    EXPECT_EQ(big[9], 0x7F);
    // What the writer formats, the parser reads back.
    for (uint32_t size : {0u, 1u, 127u, 128u, 16383u, 16384u, 599000u, 0x0FFFFFFFu}) {
        const auto bytes = FormatV2Header(true, size);
        const auto info = ParseV2Header(bytes.data(), bytes.size());
        ASSERT_TRUE(info);
        EXPECT_EQ(info->size, size);
        EXPECT_FALSE(info->HasFooter());
    }
}

TEST(WriterPlan, OldHeaderRecognition) {
    uint8_t v24footer[10] = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 0x07, 0x5E};  // size 990
    auto info = ParseV2Header(v24footer, 10);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->size, 990u);
    EXPECT_TRUE(info->HasFooter());
    EXPECT_EQ(info->Extent(), 1010u);
    EXPECT_EQ(OldTagSpace(info, 50000), 1000u);

    // The footer flag means nothing under v2.3.
    uint8_t v23[10] = {'I', 'D', '3', 3, 0, 0x10, 0, 0, 0x07, 0x5E};
    EXPECT_EQ(OldTagSpace(ParseV2Header(v23, 10), 50000), 990u);

    // v2.2 counts by its size; major 5 and a wrong magic are no tag.
    uint8_t v22[10] = {'I', 'D', '3', 2, 0, 0, 0, 0, 0x07, 0x68};
    EXPECT_EQ(OldTagSpace(ParseV2Header(v22, 10), 50000), 1000u);
    uint8_t v25[10] = {'I', 'D', '3', 5, 0, 0, 0, 0, 0, 1};
    EXPECT_FALSE(ParseV2Header(v25, 10));
    uint8_t bad[10] = {'I', 'D', '4', 3, 0, 0, 0, 0, 0, 1};
    EXPECT_FALSE(ParseV2Header(bad, 10));
    EXPECT_FALSE(ParseV2Header(v23, 9));

    // Top bits of the size bytes are not masked, as the reader decodes them.
    uint8_t unmasked[10] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x01, 0x80};
    EXPECT_EQ(ParseV2Header(unmasked, 10)->size, 256u);

    // No tag space in a file of 10 bytes or less.
    EXPECT_FALSE(OldTagSpace(ParseV2Header(v23, 10), 10));
    // A size beyond the file: the reader sees no tag, so neither does the writer.
    EXPECT_FALSE(OldTagSpace(ParseV2Header(v23, 10), 989));
    // A footer cut off by the end of the file offers only what is there.
    EXPECT_EQ(OldTagSpace(info, 1005), 995u);
    EXPECT_EQ(OldTagSpace(ParseV2Header(v23, 10), 995), 985u);
}

TEST(WriterPlan, TagBytesAreHeaderFramesAndZeros) {
    const std::vector<uint8_t> frames = {'T', 'I', 'T', '2', 0, 0, 0, 2, 0, 0, 0, 'x'};
    const auto bytes = BuildV2TagBytes(frames, false, 5);
    ASSERT_EQ(bytes.size(), 10u + 12u + 5u);
    EXPECT_EQ(bytes[3], 3);
    EXPECT_EQ(bytes[9], 17);
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), bytes.begin() + 10));
    for (size_t i = 22; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0);
}


TEST(WriterPlan, InvariantsOverRandomInputs) {
    std::mt19937_64 rng(4096);
    for (int i = 0; i < 200000; ++i) {
        const uint64_t fileSize = rng() % (uint64_t{1} << (rng() % 33));
        const uint64_t frames = rng() % (uint64_t{1} << (rng() % 21));
        std::optional<uint64_t> old;
        if (fileSize > 10 && rng() % 4 != 0) old = rng() % (fileSize - 9);  // 10 + old <= fileSize
        const uint32_t decrease = (rng() % 3 == 0) ? 4294967295u : static_cast<uint32_t>(rng() % 2000000);
        const V2WritePlan p = PlanV2Write(old, frames, fileSize, decrease);
        SCOPED_TRACE(testing::Message() << fileSize << " " << frames << " " << (old ? *old : 0) << " " << decrease);
        ASSERT_EQ(p.tagBytes, 10 + frames + p.padding);
        ASSERT_LE(p.keepFrom, fileSize);
        ASSERT_EQ(p.newLength, p.tagBytes + fileSize - p.keepFrom);
        if (p.MovesAudio()) {
            ASSERT_GE(p.padding, 1u);
            ASSERT_LE(p.padding, 4096u);
            ASSERT_EQ(p.newLength % 4096, 0u);
        } else {
            ASSERT_EQ(p.newLength, fileSize);
        }
        switch (p.kind) {
            case V2WriteKind::Insert: ASSERT_FALSE(old); break;
            case V2WriteKind::Grow: ASSERT_LT(*old, frames); break;
            case V2WriteKind::InPlace: ASSERT_GE(*old, frames); break;
            case V2WriteKind::Cut:
                ASSERT_GE(p.cutCount, decrease);
                ASSERT_EQ(p.newLength, fileSize - p.cutCount);
                break;
        }
    }
}

}  // namespace
}  // namespace quorvane
