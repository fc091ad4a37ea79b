#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/settings_store.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

// Readers on worker threads while the user interface writes: every read sees either
// the old or the new value, and nothing is lost from the lists.
TEST(ThreadsSettings, ConcurrentReadersAndWritersSeeWholeValues) {
    test::TempDir dir;
    auto& store = SettingsStore::Instance();
    ASSERT_TRUE(store.OpenAt((dir / "settings.ini").string()));
    store.WriteNumber("Encoding", 1);
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!stop) {
                const uint32_t e = settings::Encoding();
                if (e != 1 && e != 2) ++bad;
                const auto list = store.ReadStringList("Renames");
                for (const auto& s : list) {
                    if (s.size() != 3) ++bad;
                }
            }
        });
    }
    for (int i = 0; i < 60; ++i) {
        store.WriteNumber("Encoding", i % 2 ? 1 : 2);
        store.AppendToList("Renames", u"p" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + u"x");
    }
    stop = true;
    for (auto& r : readers) r.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(store.ReadStringList("Renames").size(), 26u);
}

}  // namespace
}  // namespace quorvane
