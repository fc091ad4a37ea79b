// The padding rule and the insert / grow / in-place / cut decision, as pure arithmetic.
#include <random>

#include "tag_test_util.h"
#include "tags/id3v2_write_plan.h"

namespace quorvane::tagtest {
namespace {

TEST(WriterPlan, PaddingFillsUpToTheNextMultipleOf4096) {
    const std::pair<uint64_t, uint32_t> cases[] = {
        {5310, 2882}, {4096, 4096}, {4095, 1}, {4097, 4095}, {0, 4096}, {8191, 1}, {(uint64_t{1} << 32) + 10, 4086}};
    for (auto [length, padding] : cases) EXPECT_EQ(PadFor(length), padding) << length;
}

struct PlanCase {
    const char* name;
    std::optional<uint64_t> oldSpace;
    uint64_t frames, fileSize;
    uint32_t decrease;
    V2WriteKind kind;
    uint64_t padding, newLength;
    uint64_t shiftStart, shiftDistance, cutCount;
};

const PlanCase kPlanCases[] = {
    // No tag, 5000 bytes of audio, 300 bytes of frames: size field 3182, length 8192.
    {"insert", std::nullopt, 300, 5000, kNever, V2WriteKind::Insert, 2882, 8192, 0, 3192, 0},
    // An unpadded length that already is a multiple of 4096 gets a whole block.
    {"insert exact", std::nullopt, 86, 4000, kNever, V2WriteKind::Insert, 4096, 8192, 0, 4192, 0},
    // Old tag 2000, frames 1500, file 100000: in place, 500 bytes of padding.
    {"in place", 2000, 1500, 100000, kNever, V2WriteKind::InPlace, 500, 100000, 0, 0, 0},
    // Old tag 600000, frames 1000, file 5000000, threshold 128 KB: 596800 bytes cut.
    {"cut", 600000, 1000, 5000000, 131072, V2WriteKind::Cut, 2200, 4403200, 0, 0, 596800},
    {"cut never", 600000, 1000, 5000000, kNever, V2WriteKind::InPlace, 599000, 5000000, 0, 0, 0},
    // Surplus one byte below the threshold stays; at the threshold it goes.
    {"below threshold", 600000, 1000, 5000000, 596801, V2WriteKind::InPlace, 599000, 5000000, 0, 0, 0},
    {"at threshold", 600000, 1000, 5000000, 596800, V2WriteKind::Cut, 2200, 4403200, 0, 0, 596800},
    // Old tag 100, frames 300, file 10000: audio up by 2288, padding 2088, length 12288.
    {"grow", 100, 300, 10000, kNever, V2WriteKind::Grow, 2088, 12288, 110, 2288, 0},
    // One byte too many grows; exactly the old space stays.
    {"grow by one", 4000, 4001, 9000, kNever, V2WriteKind::Grow, 3287, 12288, 4010, 3288, 0},
    {"exact fit", 4000, 4000, 9000, 0, V2WriteKind::InPlace, 0, 9000, 0, 0, 0},
    // A v2.4 footer adds 10 bytes of space: size 990 and a footer fit 1000 bytes.
    {"footer reused", 1000, 1000, 50000, kNever, V2WriteKind::InPlace, 0, 50000, 0, 0, 0},
    {"empty frames", 500, 0, 3000, 0, V2WriteKind::InPlace, 500, 3000, 0, 0, 0},
    // Old space not above the ideal size: never cut, even with threshold 0.
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
        EXPECT_EQ(plan.keepFrom, c.oldSpace ? *c.oldSpace + 10 : 0);
    }
}

TEST(WriterPlan, InvariantsOverRandomInputs) {
    std::mt19937_64 rng(4096);
    for (int i = 0; i < 200000; ++i) {
        const uint64_t fileSize = rng() % (uint64_t{1} << (rng() % 33));
        const uint64_t frames = rng() % (uint64_t{1} << (rng() % 21));
        std::optional<uint64_t> old;
        if (fileSize > 10 && rng() % 4 != 0) old = rng() % (fileSize - 9);  // 10 + old <= fileSize
        const uint32_t decrease = (rng() % 3 == 0) ? kNever : static_cast<uint32_t>(rng() % 2000000);
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
}  // namespace quorvane::tagtest
