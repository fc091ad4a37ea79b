// quorvane-cli info, end to end on files made by lame.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::CliPath;
using test::CommandResult;
using test::RunCommand;
using test::TempDir;

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t{b.at(at)} << 24) | (uint32_t{b.at(at + 1)} << 16) | (uint32_t{b.at(at + 2)} << 8) | b.at(at + 3);
}

// Expected listing values read off the file's bytes: a lame file starts with its first
// frame; stereo puts a Xing/Info header at offset 36.
struct Expected {
    unsigned bitrate = 0;
    bool vbr = false;
    unsigned duration = 0;
};

Expected ExpectedCbr(const fs::path& path, unsigned kbit) {
    return {kbit, false, static_cast<unsigned>(fs::file_size(path) * 8 / (kbit * 1000))};
}

Expected ExpectedXing(const fs::path& path) {
    const auto b = test::ReadFileBytes(path);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "Xing");
    const unsigned kbit =
        static_cast<unsigned>((44100 * (static_cast<double>(Be32(b, 48)) / Be32(b, 44))) * (1.0 / 144000));
    return {kbit, true, static_cast<unsigned>(b.size() * 8 / (kbit * 1000))};
}

std::string Line(const std::string& path, const Expected& e) {
    std::ostringstream s;
    s << path << '\t' << e.bitrate << '\t' << (e.vbr ? 1 : 0) << '\t' << e.duration << '\n';
    return s.str();
}

TEST(CliInfo, ListsEveryMp3BelowADirectoryInOrder) {
    TempDir dir;
    const fs::path root = dir / "music";
    fs::create_directories(root / "sub" / "deeper");
    test::MakeMp3(root / "a.mp3", {"-b", "128", "-t"});
    test::MakeMp3(root / "sub" / "B.MP3", {"-V", "4"});
    test::MakeMp3(root / "sub" / "deeper" / "c.Mp3", {"-b", "64"}, 2.0, 22050);
    test::MakeMp3(root / "sub" / "not-audio.mp3.bak", {"-b", "128", "-t"});
    test::WriteFileBytes(root / "notes.txt", {'x'});
    fs::create_directory(root / "folder.mp3");
    fs::create_symlink(root / "a.mp3", root / "sub" / "link.mp3");
    fs::create_directory_symlink(root, root / "sub" / "loop");  // not followed

    const Expected a = ExpectedCbr(root / "a.mp3", 128);
    const Expected b = ExpectedXing(root / "sub" / "B.MP3");
    const CommandResult r = RunCommand({CliPath(), "info", root.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string r0 = root.string();
    EXPECT_EQ(r.out, Line(r0 + "/a.mp3", a) + Line(r0 + "/sub/B.MP3", b) + Line(r0 + "/sub/deeper/c.Mp3", {}) +
                         Line(r0 + "/sub/link.mp3", a));

    // A file named on the command line is taken whatever its name; order is as given.
    const CommandResult single =
        RunCommand({CliPath(), "info", (root / "sub" / "not-audio.mp3.bak").string(), (root / "a.mp3").string()});
    EXPECT_EQ(single.status, 0) << single.err;
    EXPECT_EQ(single.out, Line((root / "sub" / "not-audio.mp3.bak").string(), a) + Line(r0 + "/a.mp3", a));
}

TEST(CliInfo, UnopenableFileIsReportedAndTheOthersListed) {
    TempDir dir;
    test::MakeMp3(dir / "good.mp3", {"-b", "128", "-t"});
    const std::string missing = (dir / "missing.mp3").string();
    const CommandResult r = RunCommand({CliPath(), "info", missing, (dir / "good.mp3").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error when opening file \"" + missing + "\":\n" + std::strerror(ENOENT) + "\n");
    EXPECT_EQ(r.out, Line((dir / "good.mp3").string(), ExpectedCbr(dir / "good.mp3", 128)));
}

TEST(CliInfo, UsageErrors) {
    const CommandResult none = RunCommand({CliPath(), "info"});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("usage: quorvane-cli info [--json] PATH..."), std::string::npos);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(RunCommand({CliPath(), "info", "--json"}).status, 2);
    EXPECT_EQ(RunCommand({CliPath(), "info", "--jsn", "x.mp3"}).status, 2);
    const CommandResult help = RunCommand({CliPath(), "info", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage:"), std::string::npos);
}

// Names with every kind of awkward byte come out of --json as valid JSON from which
// the exact bytes on disk can be recovered.
TEST(CliInfo, JsonKeepsEveryNameExactly) {
    TempDir dir;
    const std::vector<std::string> names = {
        "plain.mp3", "quote\"d.mp3", "back\\slash.mp3", "tab\there.mp3", "new\nline.mp3",
        "ctl\x01\x1f.mp3", "caf\xc3\xa9 \xe2\x99\xaa.mp3", "latin1 \xe9t\xe9.mp3", "lone \xff\xfe.mp3",
    };
    test::MakeMp3(dir / "plain.mp3", {"-V", "4"});
    for (size_t i = 1; i < names.size(); ++i) fs::copy_file(dir / "plain.mp3", dir / names[i]);
    const Expected e = ExpectedXing(dir / "plain.mp3");

    const CommandResult r = RunCommand({CliPath(), "info", "--json", dir.Path().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    // Strict UTF-8 and strict JSON; the names back to bytes with surrogateescape.
    const CommandResult check = RunCommand(
        {test::PythonPath(), "-c",
         "import sys, json, os\n"
         "data = json.loads(sys.stdin.buffer.read().decode('utf-8', 'strict'))\n"
         "for o in data:\n"
         "    assert sorted(o) == ['bitrate', 'duration', 'path', 'vbr'], o\n"
         "    print(os.fsencode(o['path']).hex(), o['bitrate'], o['vbr'], o['duration'])\n"},
        r.out);
    ASSERT_EQ(check.status, 0) << check.err << r.out;

    std::vector<std::string> sortedNames = names;
    std::sort(sortedNames.begin(), sortedNames.end(),
              [&](const std::string& x, const std::string& y) { return (dir / x).native() < (dir / y).native(); });
    std::string expected;
    for (const std::string& n : sortedNames) {
        std::string hex;
        const std::string native = (dir / n).native();
        for (const unsigned char c : native) {
            char h[3];
            std::snprintf(h, sizeof h, "%02x", c);
            hex += h;
        }
        expected += hex + " " + std::to_string(e.bitrate) + " True " + std::to_string(e.duration) + "\n";
    }
    EXPECT_EQ(check.out, expected);

    // The text listing keeps one file per line.
    const CommandResult text = RunCommand({CliPath(), "info", (dir / "tab\there.mp3").string(),
                                           (dir / "new\nline.mp3").string(), (dir / "back\\slash.mp3").string()});
    EXPECT_EQ(text.status, 0);
    const std::string d = dir.Path().string();
    EXPECT_EQ(text.out, Line(d + "/tab\\there.mp3", e) + Line(d + "/new\\nline.mp3", e) +
                            Line(d + "/back\\\\slash.mp3", e));
}

TEST(CliInfo, JsonOfNothingAndOfALargeFile) {
    TempDir dir;
    const CommandResult empty = RunCommand({CliPath(), "info", "--json", dir.Path().string()});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "[]\n");

    // 600 MiB, sparse: a 128 kbit/s frame header, then nothing.
    const fs::path big = dir / "big.mp3";
    test::WriteFileBytes(big, {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0});
    ASSERT_EQ(truncate(big.c_str(), off_t{600} << 20), 0);
    const CommandResult r = RunCommand({CliPath(), "info", "--json", big.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[\n  {\"path\": \"" + big.string() + "\", \"bitrate\": 128, \"vbr\": false, \"duration\": 39321}\n]\n");
}

}  // namespace
}  // namespace quorvane
