// The file layer, and the prompts of programs without a window.
#include "platform/binary_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <random>
#include <thread>

#include "platform/text_codec.h"
#include "platform/user_prompts.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

using Bytes = std::vector<uint8_t>;
std::u16string Name(const std::filesystem::path& path) { return PathFromNative(path.native()); }

Bytes Counting(size_t n) {
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    return bytes;
}

TEST(BinaryFile, ReadsAtTheEndAndSetLength) {
    test::TempDir dir;
    const auto path = dir / "f.bin";
    const Bytes data = Counting(5000);
    test::WriteFileBytes(path, data);
    BinaryFile f = test::OpenForSave(path);
    uint8_t buffer[64] = {};
    f.Seek(4990);
    EXPECT_EQ(f.Read(buffer, sizeof buffer), 10u);  // straddles the end
    EXPECT_EQ(std::memcmp(buffer, data.data() + 4990, 10), 0);
    EXPECT_EQ(f.GetPosition(), 5000u);
    EXPECT_EQ(f.Read(buffer, sizeof buffer), 0u);  // at the end
    f.Seek(9000);                                  // beyond it
    EXPECT_EQ(f.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(f.GetPosition(), 9000u);

    f.Seek(10);
    f.SetLength(5000);  // the same length: nothing changes, the position moves there
    EXPECT_EQ(f.GetPosition(), 5000u);
    EXPECT_EQ(test::ReadFileBytes(path), data);
    f.SetLength(1234);
    EXPECT_EQ(f.GetSize(), 1234u);
    EXPECT_EQ(f.WriteString("tail"), 4u);  // appends at the new end
    EXPECT_TRUE(f.Close());
    EXPECT_THROW(f.GetSize(), FileException);
    Bytes expected(data.begin(), data.begin() + 1234);
    expected.insert(expected.end(), {'t', 'a', 'i', 'l'});
    EXPECT_EQ(test::ReadFileBytes(path), expected);
}

TEST(BinaryFile, ModesTheLockBetweenWritersAndOpenFailuresWithTheirMessage) {
    test::TempDir dir;
    const auto path = dir / "f.mp3";
    uint32_t error = 0;
    for (const char* text : {"a longer first text", "short"}) {  // Replace creates, then truncates
        BinaryFile f;
        ASSERT_TRUE(f.Open(Name(path), OpenMode::Replace, error)) << error;
        f.WriteString(text);
        f.Close();
        EXPECT_EQ(test::ReadFileBytes(path), Bytes(text, text + std::strlen(text)));
    }
    BinaryFile f;
    EXPECT_FALSE(f.Open(Name(path), OpenMode::CreateNew, error));
    EXPECT_EQ(error, static_cast<uint32_t>(EEXIST));

    // While a save writes, no other writer gets in, nor a load that would read it half-written.
    BinaryFile saver = test::OpenForSave(path);
    for (OpenMode mode : {OpenMode::Update, OpenMode::Replace, OpenMode::Read}) {
        EXPECT_FALSE(f.Open(Name(path), mode, error));
        EXPECT_EQ(error, kErrorSharingViolation);
    }
    EXPECT_EQ(FileException{error}.FormatFileError(), u"The file is being used by another process.");
    EXPECT_EQ(test::ReadFileBytes(path), Bytes({'s', 'h', 'o', 'r', 't'}));  // the refused Replace truncated nothing
    saver.Close();
    EXPECT_TRUE(f.Open(Name(path), OpenMode::Update, error));
    f.Close();

    // Failures come back at once, with their message.
    const std::u16string missing = Name(dir / "missing.mp3");
    EXPECT_FALSE(f.Open(missing, OpenMode::Read, error));
    EXPECT_EQ(error, static_cast<uint32_t>(ENOENT));
    EXPECT_FALSE(f.IsOpen());
    test::RecordingPrompts prompts;
    ShowFileError(prompts, u"Error when opening file", missing, FileException{error});
    const auto shown = prompts.Prompts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, "error");
    EXPECT_EQ(shown[0].caption, u"Quorvane 1.7");
    EXPECT_EQ(shown[0].text, u"Error when opening file \"" + missing + u"\":\n" + U16(std::strerror(ENOENT)));

    EXPECT_FALSE(f.Open(Name(dir.Path()), OpenMode::Read, error));
    EXPECT_EQ(error, static_cast<uint32_t>(EISDIR));
    EXPECT_FALSE(f.OpenForLoading(Name(dir.Path()), error));
    EXPECT_EQ(error, static_cast<uint32_t>(EISDIR));
    // A FIFO with an .mp3 name and no writer, opened on a detached thread so that a
    // hanging open fails this test, not the program.
    ASSERT_EQ(mkfifo((dir / "pipe.mp3").c_str(), 0600), 0);
    std::promise<int> result;
    auto opened = result.get_future();
    std::thread([name = Name(dir / "pipe.mp3"), result = std::move(result)]() mutable {
        BinaryFile p;
        uint32_t e = 0;
        uint8_t b[16];
        result.set_value(p.Open(name, OpenMode::Read, e) ? static_cast<int>(p.Read(b, sizeof b)) : -1);
    }).detach();
    ASSERT_EQ(opened.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(opened.get(), 0);  // no writer: nothing to read
}

// A load reads through the read-ahead buffer (4096 bytes): any sequence of seeks and
// reads gives the bytes, counts and positions of plain reads, up to the end and beyond.
// Two names of one file give one identity, another file another; a closed file none.
TEST(BinaryFile, ReadAheadGivesWhatPlainReadsGiveAndIdentity) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "f.bin", Counting(70000));
    test::WriteFileBytes(dir / "other.bin", Counting(10));
    std::filesystem::create_hard_link(dir / "f.bin", dir / "link.bin");
    BinaryFile plain, ahead, other;
    uint32_t error = 0;
    ASSERT_TRUE(plain.Open(Name(dir / "link.bin"), OpenMode::Read, error));
    ASSERT_TRUE(ahead.OpenForLoading(Name(dir / "f.bin"), error) && other.OpenForLoading(Name(dir / "other.bin"), error));
    EXPECT_TRUE(ahead.Identity().IsKnown());
    EXPECT_EQ(ahead.Identity(), plain.Identity());
    EXPECT_NE(ahead.Identity(), other.Identity());
    other.Close();
    EXPECT_FALSE(other.Identity().IsKnown());
    EXPECT_EQ(ahead.GetSize(), 70000u);
    std::mt19937 rng(5);
    const uint32_t sizes[] = {1, 3, 128, 4095, 4096, 4097, 8192, 65536, 100000};
    Bytes a(100000), b(100000);
    for (int step = 0; step < 3000; ++step) {
        if (rng() % 3 == 0) {
            const uint64_t to = rng() % 4 == 0 ? 70000 - rng() % 200 : rng() % 72000;
            plain.Seek(to);
            ahead.Seek(to);
        }
        const uint32_t n = sizes[rng() % std::size(sizes)];
        const uint32_t got = plain.Read(a.data(), n);
        ASSERT_EQ(ahead.Read(b.data(), n), got) << "step " << step;
        ASSERT_EQ(std::memcmp(a.data(), b.data(), got), 0) << "step " << step;
        ASSERT_EQ(ahead.GetPosition(), plain.GetPosition()) << "step " << step;
    }
}

// Without a window: one line on standard error a box, questions answered as told, and
// the errors counted for the exit status.
TEST(StderrPrompts, OneLineABoxAndTheErrorsCounted) {
    StderrPrompts yes(PromptAnswer::Yes), no;
    testing::internal::CaptureStderr();
    yes.ShowError(u"Quorvane", u"Failed\r\n");
    yes.ShowInformation(u"Quorvane", u"Note");
    EXPECT_TRUE(yes.AskYesNo(u"Quorvane", u"Go?"));
    EXPECT_FALSE(no.AskYesNo(u"Quorvane", u"Go?"));
    EXPECT_EQ(no.AskYesNoCancel(u"Quorvane", u"Save?"), PromptAnswer::No);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Failed\nNote\nGo? [yes]\nGo? [no]\nSave? [no]\n");
    EXPECT_EQ(yes.ErrorCount(), 1u);
    EXPECT_EQ(no.ErrorCount(), 0u);
}

}  // namespace
}  // namespace quorvane
