// Output a script can trust: file names with any bytes come out of info, list and show
// as valid JSON from which the bytes on disk are recovered, TSV rows stay one a line, and
// 8-bit tag fields never reach the output raw.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (const unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    return hex;
}

TEST(CliNamesAndBytes, EveryNameComesBackAsItsBytes) {
    TempDir root;
    const fs::path dir = root / "disc \xfe";  // not UTF-8
    fs::create_directories(dir);
    const std::vector<std::string> names = {"back\\slash.mp3", "caf\xc3\xa9 \xe2\x99\xaa.mp3", "ctl\x01\x1f.mp3",
                                            "lone \xff\xfe.mp3", "new\nline.mp3", "quote\"d.mp3", "tab\there.mp3"};
    MakeMp3(dir / names[0], {"-b", "128"});
    for (size_t i = 1; i < names.size(); ++i) fs::copy_file(dir / names[0], dir / names[i]);
    std::string paths, files;
    for (const std::string& name : names) paths += Hex((dir / name).string()) + "\n";
    for (const std::string& name : names) files += Hex(dir.string()) + " " + Hex(name) + "\n";
    const std::string decode = "rows = json.loads(sys.stdin.buffer.read().decode('utf-8', 'strict'))\n"
                               "for r in rows: print(' '.join(os.fsencode(r[k]).hex() for k in sys.argv[1:]))\n";
    for (const char* command : {"info", "list", "show"}) {
        const CommandResult r = Cli(root / "s.ini", {command, "--json", dir.string()});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Py(decode, r.out, {"path"}) + "\n", paths) << command;
        if (command == std::string("list")) {
            EXPECT_EQ(Py(decode, r.out, {"directory", "filename"}) + "\n", files);
        }
    }
    // Tab-separated rows: one a file, control bytes and backslashes escaped.
    const CommandResult tsv = Cli(root / "s.ini", {"list", dir.string()});
    EXPECT_NE(tsv.out.find("\nback\\\\slash.mp3\t"), std::string::npos) << tsv.out;
    EXPECT_NE(tsv.out.find("\nctl\\x01\\x1f.mp3\t"), std::string::npos) << tsv.out;
    EXPECT_NE(tsv.out.find("\nnew\\nline.mp3\t"), std::string::npos) << tsv.out;
    EXPECT_NE(tsv.out.find("\ntab\\there.mp3\t"), std::string::npos) << tsv.out;
    EXPECT_EQ(std::count(tsv.out.begin(), tsv.out.end(), '\n'), 8);
}

std::vector<uint8_t> Frame(const char* id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out(id, id + 4);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(body.size() >> shift));
    out.insert(out.end(), {0, 0});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

TEST(CliNamesAndBytes, LanguageAndMimeBytesAboveAsciiGiveValidJson) {
    TempDir dir;
    // ID3v2.3: COMM with the language bytes E9 FF 80; APIC whose MIME type holds FF.
    std::vector<uint8_t> file = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    for (const auto& frame : {Frame("COMM", {0, 0xE9, 0xFF, 0x80, 'd', 0, 'h', 'i'}),
                              Frame("APIC", {0, 'i', 'm', 'a', 'g', 'e', '/', 0xFF, 0, 3, 'x', 0, 0x89, 'P'})}) {
        file.insert(file.end(), frame.begin(), frame.end());
    }
    file.resize(file.size() + 32, 0);  // padding
    file[8] = static_cast<uint8_t>((file.size() - 10) >> 7), file[9] = static_cast<uint8_t>((file.size() - 10) & 0x7F);
    MakeMp3(dir / "audio.mp3", {"-b", "128"});
    const std::vector<uint8_t> audio = ReadFileBytes(dir / "audio.mp3");
    file.insert(file.end(), audio.begin(), audio.end());
    WriteFileBytes(dir / "odd.mp3", file);

    const CommandResult r = Cli(dir / "s.ini", {"show", "--json", (dir / "odd.mp3").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Py("f = json.loads(sys.stdin.buffer.read().decode('utf-8', 'strict'))[0]['frames']\n"
                 "print(f[0]['language'].encode('latin-1').hex(), f[1]['mime'].encode('latin-1').hex())",
                 r.out),
              "e9ff80 696d6167652fff");
}

}  // namespace
}  // namespace quorvane::test
