// The scan reads the files of a directory on two threads, in batches: records still come in
// the order of the names, each failure is reported once, and a scan stopped in the middle
// of a batch reports nothing more.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "library/directory_loader.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "tags/frame_id.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

std::string NameOf(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%03d.mp3", i);
    return name;
}

// An ID3v2.3 tag holding only a title, before a little of a real MP3 stream.
std::vector<uint8_t> TitledFile(const std::string& title, const std::vector<uint8_t>& audio) {
    const uint32_t frameSize = static_cast<uint32_t>(title.size() + 1);
    const uint32_t tagSize = 10 + frameSize;
    std::vector<uint8_t> bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, static_cast<uint8_t>(tagSize)};
    const uint8_t frame[] = {'T', 'I', 'T', '2', 0, 0, 0, static_cast<uint8_t>(frameSize), 0, 0, 0};
    bytes.insert(bytes.end(), std::begin(frame), std::end(frame));
    bytes.insert(bytes.end(), title.begin(), title.end());
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    return bytes;
}

class BatchedLoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SettingsStore::Instance().OpenAt((settings_ / "s.ini").string()));
        test::MakeMp3(temp_ / "tone.mp3", {"-b", "32"}, 0.2);
        audio_ = test::ReadFileBytes(temp_ / "tone.mp3");
        fs::remove(temp_ / "tone.mp3");
    }

    // Files "f000.mp3" ... titled by their number, and dangling links at `broken`.
    void MakeFiles(int count, std::initializer_list<int> broken) {
        for (int i = 0; i < count; ++i) {
            const fs::path path = temp_ / NameOf(i);
            if (std::find(broken.begin(), broken.end(), i) != broken.end())
                fs::create_symlink(temp_ / "nowhere", path);
            else
                test::WriteFileBytes(path, TitledFile(std::to_string(i), audio_));
        }
    }

    test::TempDir settings_;
    test::TempDir temp_;
    std::vector<uint8_t> audio_;
};

TEST_F(BatchedLoad, RecordsKeepTheOrderOfTheNamesAcrossBatches) {
    // 300 files: three batches, the failure in the second.
    MakeFiles(300, {150});
    test::RecordingPrompts prompts;
    DirectoryLoader loader(prompts, false);
    loader.SetLoadThreads(2);
    loader.AddDirectory(PathFromNative(temp_.Path().string()));
    loader.ScanPending(false);
    const std::vector<RecordPtr> records = loader.TakeNewRecords();
    ASSERT_EQ(records.size(), 300u);
    for (int i = 0; i < 300; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(PathToNative(records[i]->FileName()), NameOf(i));
        // The window lists a file it could not open, empty.
        EXPECT_EQ(PathToNative(records[i]->Tag().GetText(kFrameTIT2)), i == 150 ? "" : std::to_string(i));
    }
    const auto shown = prompts.Prompts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(PathToNative(shown[0].text).find("f150.mp3"), std::string::npos);
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
    std::atomic<bool> released{false};
};

TEST_F(BatchedLoad, AScanClearedInTheMiddleOfABatchReportsNothingMore) {
    // Two failures in one batch; the list is cleared while the first one's box is open.
    MakeFiles(200, {10, 20});
    HeldPrompts prompts;
    DirectoryLoader loader(prompts, false);
    loader.SetLoadThreads(2);
    loader.AddDirectory(PathFromNative(temp_.Path().string()));
    std::thread scan([&] { loader.ScanPending(false); });
    for (int i = 0; i < 10000 && prompts.waiting == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const int waited = prompts.waiting;
    if (waited == 1) loader.Clear(false);
    prompts.released = true;
    scan.join();
    ASSERT_EQ(waited, 1);
    EXPECT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(loader.RecordCount(), 0u);
    EXPECT_TRUE(loader.TakeNewRecords().empty());
}

}  // namespace
}  // namespace quorvane
