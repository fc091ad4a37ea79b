// Loading records on several threads: each record is loaded once and handed over in the
// order given, loaded, with its failure, whatever thread loaded it.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "library/parallel_load.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

// A v2.4 tag with one TIT2 frame in encoding 0, then a little audio.
std::vector<uint8_t> TaggedFile(const std::string& title) {
    const auto size = static_cast<int>(11 + title.size());
    std::vector<uint8_t> bytes = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, static_cast<uint8_t>(size), 'T', 'I', 'T', '2',
                                  0,   0,   0,   static_cast<uint8_t>(title.size() + 1), 0, 0, 0};
    bytes.insert(bytes.end(), title.begin(), title.end());
    bytes.insert(bytes.end(), 300, 0xAA);
    return bytes;
}

TEST(ParallelLoad, RecordsAreHandedOverInOrderEachLoadedOnce) {
    test::TempDir dir;
    const SharedText directory(PathFromNative(dir.Path().string()));
    constexpr size_t kFiles = 300;
    for (size_t i = 0; i < kFiles; ++i) {
        // Every seventh file is missing: its load fails and is reported by its index.
        if (i % 7 != 3) test::WriteFileBytes(dir / (std::to_string(i) + ".mp3"), TaggedFile("Title " + std::to_string(i)));
    }
    // One thread, more threads than useful, and fewer records than a helper needs.
    for (const auto& [threads, count] : {std::pair<unsigned, size_t>{1, kFiles}, {2, kFiles}, {5, kFiles}, {2, 20}}) {
        std::vector<RecordPtr> fresh;
        for (size_t i = 0; i < count; ++i)
            fresh.push_back(std::make_shared<Mp3FileRecord>(directory, PathFromNative(std::to_string(i) + ".mp3"), directory));
        std::vector<size_t> order;
        LoadInOrder(fresh, LoadOptions{}, threads, [&](size_t index, const Mp3FileRecord::LoadResult& result) {
            order.push_back(index);
            const bool missing = index % 7 == 3;
            EXPECT_EQ(result.opened, !missing) << index;
            EXPECT_EQ(result.error.empty(), !missing) << index;
            if (missing) EXPECT_NE(U8(result.error).find(std::strerror(ENOENT)), std::string::npos);
            // Handed over loaded: the tag is there already.
            else EXPECT_EQ(U8(fresh[index]->Tag().GetText(kFrameTIT2)), "Title " + std::to_string(index));
        });
        ASSERT_EQ(order.size(), count) << threads;
        for (size_t i = 0; i < count; ++i) ASSERT_EQ(order[i], i) << threads;
        // Loaded once: a second load of the same record would have added a second frame.
        for (size_t i = 0; i < count; ++i)
            if (i % 7 != 3) EXPECT_EQ(fresh[i]->Tag().Frames().size(), 1u) << i;
    }
}

}  // namespace
}  // namespace quorvane
