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

TEST(CliNamesAndBytes, LanguageAndMimeBytesAboveAsciiGiveValidJson) {
    TempDir dir;
    MakeMp3(dir / "audio.mp3", {"-b", "128"});
    // ID3v2.3: COMM with the language bytes E9 FF 80; APIC whose MIME type holds FF.
    Py(R"(import struct
def frame(fid, body): return fid + struct.pack('>I', len(body)) + b'\0\0' + body
tag = frame(b'COMM', b'\0\xe9\xff\x80d\0hi') + frame(b'APIC', b'\0image/\xff\0\3x\0\x89P') + bytes(32)
size = bytes(len(tag) >> s & 127 for s in (21, 14, 7, 0))
open(sys.argv[1], 'wb').write(b'ID3\3\0\0' + size + tag + open(sys.argv[2], 'rb').read()))",
       "", {(dir / "odd.mp3").string(), (dir / "audio.mp3").string()});
    const CommandResult r = Cli(dir / "s.ini", {"show", "--json", (dir / "odd.mp3").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Py("f = json.loads(sys.stdin.buffer.read().decode('utf-8', 'strict'))[0]['frames']\n"
                 "print(f[0]['language'].encode('latin-1').hex(), f[1]['mime'].encode('latin-1').hex())",
                 r.out),
              "e9ff80 696d6167652fff");
}

}  // namespace
}  // namespace quorvane::test
