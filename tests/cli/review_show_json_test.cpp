// show --json stays valid JSON (UTF-8) when a tag's Latin-1 fields hold bytes above 127.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Frame(const char* id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out(id, id + 4);
    const uint32_t n = static_cast<uint32_t>(body.size());
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(n >> shift));
    out.push_back(0);
    out.push_back(0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

TEST(ReviewCliShow, LanguageAndMimeBytesAboveAsciiGiveValidJson) {
    test::TempDir dir;
    // COMM with the language bytes E9 FF 80; APIC whose MIME type holds FF.
    std::vector<uint8_t> frames = Frame("COMM", {0, 0xE9, 0xFF, 0x80, 'd', 0, 'h', 'i'});
    const std::vector<uint8_t> apic =
        Frame("APIC", {0, 'i', 'm', 'a', 'g', 'e', '/', 0xFF, 0, 3, 'x', 0, 0x89, 'P', 'N', 'G'});
    frames.insert(frames.end(), apic.begin(), apic.end());
    const uint32_t size = static_cast<uint32_t>(frames.size() + 32);
    std::vector<uint8_t> file = {'I', 'D', '3', 3, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7) file.push_back(static_cast<uint8_t>((size >> shift) & 0x7F));
    file.insert(file.end(), frames.begin(), frames.end());
    file.resize(file.size() + 32, 0);
    const fs::path mp3 = dir / "odd.mp3";
    test::MakeMp3(dir / "audio.mp3", {"-b", "128"});
    const std::vector<uint8_t> audio = test::ReadFileBytes(dir / "audio.mp3");
    file.insert(file.end(), audio.begin(), audio.end());
    test::WriteFileBytes(mp3, file);

    const test::CommandResult r = test::RunCommand(
        {test::CliPath(), "show", "--json", "--settings", (dir / "s.ini").string(), mp3.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const test::CommandResult check = test::RunCommand(
        {test::PythonPath(), "-c",
         "import sys, json\n"
         "rows = json.loads(sys.stdin.buffer.read().decode('utf-8', 'strict'))\n"
         "f = rows[0]['frames']\n"
         "print(f[0]['language'].encode('latin-1').hex(), f[1]['mime'].encode('latin-1').hex())\n"},
        r.out);
    ASSERT_EQ(check.status, 0) << check.err << r.out;
    EXPECT_EQ(check.out, "e9ff80 696d6167652fff\n");
}

}  // namespace
}  // namespace quorvane
