// The scan reads the files of a directory on two threads, in batches: records still come in
// the order of the names, each failure is reported once, and a scan stopped in the middle
// of a batch reports nothing more.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "library/directory_loader.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "tags/frame_id.h"

namespace quorvane {
namespace {

std::string NameOf(int i) {
    const std::string digits = std::to_string(i);
    return "f" + std::string(3 - digits.size(), '0') + digits + ".mp3";
}

// Error boxes that stay open until the test lets them go, as a modal box would.
class HeldPrompts : public test::RecordingPrompts {
public:
    void ShowError(std::u16string_view caption, std::u16string_view text) override {
        RecordingPrompts::ShowError(caption, text);
        ++waiting;
        while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::atomic<int> waiting{0};
    std::atomic<bool> released{true};
};

class BatchedLoad : public ::testing::Test {
protected:
    // Files "f000.mp3"... each with an ID3v2.3 title of its number before a little of a
    // real stream; dangling links at `broken`. Then a loader on two threads over them.
    void SetUp() override { ASSERT_TRUE(SettingsStore::Instance().OpenAt((settings_ / "s.ini").string())); }
    void MakeFiles(int count, std::initializer_list<int> broken) {
        test::MakeMp3(temp_ / "tone", {"-b", "32"}, 0.2);
        const std::vector<uint8_t> audio = test::ReadFileBytes(temp_ / "tone");
        std::filesystem::remove(temp_ / "tone");
        for (int i = 0; i < count; ++i) {
            const std::string title = std::to_string(i);
            const uint8_t size = static_cast<uint8_t>(title.size() + 1);
            std::vector<uint8_t> bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, static_cast<uint8_t>(10 + size),
                                          'T', 'I', 'T', '2', 0, 0, 0, size, 0, 0, 0};
            bytes.insert(bytes.end(), title.begin(), title.end());
            bytes.insert(bytes.end(), audio.begin(), audio.end());
            if (std::find(broken.begin(), broken.end(), i) != broken.end())
                std::filesystem::create_symlink(temp_ / "nowhere", temp_ / NameOf(i));
            else
                test::WriteFileBytes(temp_ / NameOf(i), bytes);
        }
        loader_.SetLoadThreads(2);
        loader_.AddDirectory(PathFromNative(temp_.Path().string()));
    }

    test::TempDir settings_;
    test::TempDir temp_;
    HeldPrompts prompts_;
    DirectoryLoader loader_{prompts_, false};
};

TEST_F(BatchedLoad, RecordsKeepTheOrderOfTheNamesAcrossBatches) {
    MakeFiles(300, {150});  // three batches, the failure in the second
    loader_.ScanPending(false);
    const std::vector<RecordPtr> records = loader_.TakeNewRecords();
    ASSERT_EQ(records.size(), 300u);
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(PathToNative(records[i]->FileName()), NameOf(i));
        // The window lists a file it could not open, empty.
        EXPECT_EQ(PathToNative(records[i]->Tag().GetText(kFrameTIT2)), i == 150 ? "" : std::to_string(i)) << i;
    }
    const auto shown = prompts_.Prompts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(PathToNative(shown[0].text).find(NameOf(150)), std::string::npos);
}

TEST_F(BatchedLoad, AScanClearedInTheMiddleOfABatchReportsNothingMore) {
    MakeFiles(200, {10, 20});  // the list is cleared while the first failure's box is open
    prompts_.released = false;
    std::thread scan([&] { loader_.ScanPending(false); });
    for (int i = 0; i < 10000 && prompts_.waiting == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const int waited = prompts_.waiting;
    if (waited == 1) loader_.Clear(false);
    prompts_.released = true;
    scan.join();
    ASSERT_EQ(waited, 1);
    EXPECT_EQ(prompts_.Count(), 1u);
    EXPECT_EQ(loader_.RecordCount(), 0u);
    EXPECT_TRUE(loader_.TakeNewRecords().empty());
}

}  // namespace
}  // namespace quorvane
