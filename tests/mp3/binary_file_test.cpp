// The file layer: reads at the end, truncation, open failures and their message,
// the lock between writers, names that are not UTF-8.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <random>
#include <thread>

#include "platform/binary_file.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

using test::TempDir;

std::u16string Name(const std::filesystem::path& path) { return PathFromNative(path.native()); }

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    return bytes;
}

TEST(BinaryFile, ReadAtAndAcrossTheEnd) {
    TempDir dir;
    const auto data = Counting(1000);
    test::WriteFileBytes(dir / "f.bin", data);
    BinaryFile f;
    uint32_t error = 0;
    ASSERT_TRUE(f.Open(Name(dir / "f.bin"), OpenMode::Read, error));
    EXPECT_EQ(f.GetSize(), 1000u);

    uint8_t buffer[64] = {};
    f.Seek(990);
    EXPECT_EQ(f.Read(buffer, sizeof buffer), 10u);  // straddles the end
    EXPECT_EQ(std::memcmp(buffer, data.data() + 990, 10), 0);
    EXPECT_EQ(f.GetPosition(), 1000u);
    EXPECT_EQ(f.Read(buffer, sizeof buffer), 0u);  // at the end
    f.Seek(5000);                                  // beyond it
    EXPECT_EQ(f.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(f.GetPosition(), 5000u);
    EXPECT_TRUE(f.Close());
    EXPECT_FALSE(f.IsOpen());
    EXPECT_THROW(f.GetSize(), FileException);
}

TEST(BinaryFile, SetLengthToTheSameAndAShorterLength) {
    TempDir dir;
    const auto path = dir / "f.bin";
    const auto data = Counting(5000);
    test::WriteFileBytes(path, data);
    {
        BinaryFile f;
        uint32_t error = 0;
        ASSERT_TRUE(f.Open(Name(path), OpenMode::Update, error));
        f.Seek(10);
        f.SetLength(5000);
        EXPECT_EQ(f.GetPosition(), 5000u);
        EXPECT_EQ(f.GetSize(), 5000u);
    }
    EXPECT_EQ(test::ReadFileBytes(path), data);
    {
        BinaryFile f;
        uint32_t error = 0;
        ASSERT_TRUE(f.Open(Name(path), OpenMode::Update, error));
        f.SetLength(1234);
        EXPECT_EQ(f.GetPosition(), 1234u);
        EXPECT_EQ(f.GetSize(), 1234u);
        // Writing at the new end appends there.
        EXPECT_EQ(f.WriteString("tail"), 4u);
    }
    std::vector<uint8_t> expected(data.begin(), data.begin() + 1234);
    expected.insert(expected.end(), {'t', 'a', 'i', 'l'});
    EXPECT_EQ(test::ReadFileBytes(path), expected);
}

TEST(BinaryFile, MissingFileGivesTheOpeningMessage) {
    TempDir dir;
    const std::u16string path = Name(dir / "missing.mp3");
    BinaryFile f;
    uint32_t error = 0;
    EXPECT_FALSE(f.Open(path, OpenMode::Read, error));
    EXPECT_EQ(error, static_cast<uint32_t>(ENOENT));
    EXPECT_FALSE(f.IsOpen());

    test::RecordingPrompts prompts;
    ShowFileError(prompts, u"Error when opening file", path, FileException{error});
    const auto shown = prompts.Prompts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, "error");
    EXPECT_EQ(shown[0].caption, u"Quorvane 1.7");
    EXPECT_EQ(shown[0].text, u"Error when opening file \"" + path + u"\":\n" + U16(std::strerror(ENOENT)));
}

TEST(BinaryFile, ExportModeCreatesAndTruncates) {
    TempDir dir;
    const auto path = dir / "out.m3u";
    for (const char* text : {"a longer first text", "short"}) {
        BinaryFile f;
        uint32_t error = 0;
        ASSERT_TRUE(f.Open(Name(path), OpenMode::Replace, error)) << error;
        f.WriteString(text);
        EXPECT_TRUE(f.Close());
        const auto bytes = test::ReadFileBytes(path);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), text);
    }
}

TEST(BinaryFile, SecondWriterIsLockedOut) {
    TempDir dir;
    const auto path = dir / "f.mp3";
    const auto data = Counting(300);
    test::WriteFileBytes(path, data);

    BinaryFile saver;
    uint32_t error = 0;
    ASSERT_TRUE(saver.Open(Name(path), OpenMode::Update, error));

    BinaryFile second;
    EXPECT_FALSE(second.Open(Name(path), OpenMode::Update, error));
    EXPECT_EQ(error, kErrorSharingViolation);
    EXPECT_FALSE(FileException{error}.FormatFileError().empty());
    // A refused writer that would truncate leaves the file as it was.
    EXPECT_FALSE(second.Open(Name(path), OpenMode::Replace, error));
    EXPECT_EQ(error, kErrorSharingViolation);
    EXPECT_EQ(test::ReadFileBytes(path), data);

    EXPECT_TRUE(saver.Close());
    EXPECT_TRUE(second.Open(Name(path), OpenMode::Update, error));
}

// A name whose bytes are not UTF-8 survives the trip into the program's text and back.
TEST(BinaryFile, NameThatIsNotUtf8) {
    TempDir dir;
    const std::string native = (dir.Path() / "bad\xff\xfe name \xe9.mp3").native();
    test::WriteFileBytes(native, Counting(20));
    const std::u16string name = PathFromNative(native);
    EXPECT_EQ(PathToNative(name), native);

    BinaryFile f;
    uint32_t error = 0;
    ASSERT_TRUE(f.Open(name, OpenMode::Read, error)) << error;
    EXPECT_EQ(f.GetSize(), 20u);
    // U+FFFD in place of the bad bytes would name another (missing) file.
    BinaryFile lossy;
    EXPECT_FALSE(lossy.Open(Utf8ToUtf16Lossy(native), OpenMode::Read, error));
}

TEST(BinaryFile, DirectoriesAndFifosDoNotHang) {
    TempDir dir;
    BinaryFile f;
    uint32_t error = 0;
    EXPECT_FALSE(f.Open(Name(dir.Path()), OpenMode::Read, error));
    EXPECT_EQ(error, static_cast<uint32_t>(EISDIR));

    // A FIFO with an .mp3 name and no writer: the open must come back at once.
    const auto fifo = dir / "pipe.mp3";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Run in a detached thread, so that a hanging open fails this test, not the program.
    std::promise<int> result;
    auto opened = result.get_future();
    std::thread([name = Name(fifo), result = std::move(result)]() mutable {
        BinaryFile p;
        uint32_t e = 0;
        const bool ok = p.Open(name, OpenMode::Read, e);
        uint8_t b[16];
        result.set_value(ok ? static_cast<int>(p.Read(b, sizeof b)) : -1);
    }).detach();
    ASSERT_EQ(opened.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(opened.get(), 0);  // no writer: nothing to read
}

// A load reads through the read-ahead buffer: any sequence of seeks and reads gives the
// bytes, counts and positions of plain reads, at the end of the file and beyond it.
TEST(BinaryFile, ReadAheadGivesWhatPlainReadsGive) {
    TempDir dir;
    const auto data = Counting(70000);
    test::WriteFileBytes(dir / "f.bin", data);
    BinaryFile plain, ahead;
    uint32_t error = 0;
    ASSERT_TRUE(plain.Open(Name(dir / "f.bin"), OpenMode::Read, error));
    ASSERT_TRUE(ahead.OpenForLoading(Name(dir / "f.bin"), error));
    EXPECT_EQ(ahead.GetSize(), 70000u);
    std::mt19937 rng(5);
    const uint32_t sizes[] = {1, 3, 10, 128, 4096, 8191, 8192, 8193, 32768, 65536, 100000};
    std::vector<uint8_t> a(100000), b(100000);
    for (int step = 0; step < 3000; ++step) {
        if (rng() % 3 == 0) {
            const uint64_t to = rng() % 4 == 0 ? 70000 - rng() % 200 : rng() % 72000;
            plain.Seek(to);
            ahead.Seek(to);
        }
        const uint32_t n = sizes[rng() % std::size(sizes)];
        const uint32_t gotPlain = plain.Read(a.data(), n);
        const uint32_t gotAhead = ahead.Read(b.data(), n);
        ASSERT_EQ(gotAhead, gotPlain) << "step " << step;
        ASSERT_EQ(std::memcmp(a.data(), b.data(), gotPlain), 0) << "step " << step;
        ASSERT_EQ(ahead.GetPosition(), plain.GetPosition()) << "step " << step;
    }
    // A directory still fails to open.
    BinaryFile folder;
    EXPECT_FALSE(folder.OpenForLoading(Name(dir.Path()), error));
    EXPECT_EQ(error, static_cast<uint32_t>(EISDIR));
}

}  // namespace
}  // namespace quorvane
