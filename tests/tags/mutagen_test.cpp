// Round trips against mutagen, an independent reader and writer: files tagged by
// mutagen read the same here, and frames rendered here read the same in mutagen.
#include <algorithm>
#include <iterator>
#include <map>
#include <sstream>

#include "tag_test_util.h"

namespace quorvane::tagtest {
namespace {

namespace fs = std::filesystem;

// Shared by both directions: one line per frame, texts as hex of their UTF-8, sorted.
constexpr const char* kDumpPython = R"PY(
import sys
from mutagen.id3 import ID3
from mutagen.mp3 import MP3

def h(s):
    return str(s).encode('utf-8').hex()

def dump(path, translate):
    tags = ID3(path, translate=translate)
    lines = []
    for f in tags.values():
        fid = f.FrameID
        if fid == 'COMM':
            lines.append('C %s %s %s' % (f.lang.lower(), h(f.desc), h(f.text[0] if f.text else '')))
        elif fid == 'APIC':
            lines.append('P %s %d %s %s' % (f.mime, f.type, h(f.desc), f.data.hex()))
        elif fid.startswith('T') and fid != 'TXXX':
            lines.append('T %s %s' % (fid, ','.join(h(x) for x in f.text)))
        else:
            lines.append('R %s %s' % (fid, f._writeData().hex()))
    return sorted(lines)
)PY";

// Makes the mutagen-tagged files: argv = template mp3, output folder.
constexpr const char* kMakePython = R"PY(
import os, shutil, sys
from mutagen.id3 import (ID3, TIT2, TPE1, TALB, TRCK, TCON, TDRC, TYER, COMM, APIC, TXXX, PRIV, GRP1)
from mutagen.id3._util import unsynch

def syncsafe(n):
    return bytes([(n >> 21) & 0x7f, (n >> 14) & 0x7f, (n >> 7) & 0x7f, n & 0x7f])

def unsyncsafe(b):
    return ((b[0] * 128 + b[1]) * 128 + b[2]) * 128 + b[3]

def unsynchronise(path, version):
    data = open(path, 'rb').read()
    size = unsyncsafe(data[6:10])
    area, rest = data[10:10 + size], data[10 + size:]
    flags = data[5]
    if version == 3:
        new = unsynch.encode(area)
        flags |= 0x80
    else:
        new, pos = b'', 0
        while pos + 10 <= len(area) and area[pos] != 0:
            fsize = unsyncsafe(area[pos + 4:pos + 8])
            fflags = int.from_bytes(area[pos + 8:pos + 10], 'big') | 0x0002
            body = unsynch.encode(area[pos + 10:pos + 10 + fsize])
            new += area[pos:pos + 4] + syncsafe(len(body)) + fflags.to_bytes(2, 'big') + body
            pos += 10 + fsize
        new += b'\0' * 16
    open(path, 'wb').write(b'ID3' + bytes([data[3], data[4], flags]) + syncsafe(len(new)) + new + rest)

template, folder = sys.argv[1], sys.argv[2]
picture = bytes(range(256)) * 2 + b'\xff\x00\xff\xe0\xff'
for version in (3, 4):
    for enc in (0, 1, 2, 3):
        for unsync in (0, 1):
            name = 'v%d_e%d_u%d.mp3' % (version, enc, unsync)
            path = os.path.join(folder, name)
            shutil.copy(template, path)
            wide = enc != 0
            tags = ID3()
            tags.add(TIT2(encoding=enc, text=['Tïtle 日本' if wide else 'Tïtle']))
            tags.add(TPE1(encoding=enc, text=['Ärtist', 'Second']))
            tags.add(TALB(encoding=enc, text=['Album €' if wide else 'Album']))
            tags.add(TRCK(encoding=enc, text=['3/12']))
            tags.add(TCON(encoding=enc, text=['(17)Rock & Roll']))
            tags.add(TDRC(encoding=enc, text=['1999']))
            tags.add(COMM(encoding=enc, lang='eng', desc='', text=['Comment ü']))
            tags.add(COMM(encoding=enc, lang='deu', desc='Beschreibung', text=['Text ö' + (' Ω' if wide else '')]))
            tags.add(APIC(encoding=enc, mime='image/png', type=3, desc='Cover', data=picture))
            tags.add(APIC(encoding=enc, mime='image/jpeg', type=4, desc='', data=b'\xff\xd8\xff\xe0back'))
            tags.add(TXXX(encoding=enc, desc='key', text=['value ü']))
            tags.add(PRIV(owner='owner@example.org', data=b'\x00\xff\x00\xffpriv'))
            tags.add(GRP1(encoding=enc, text=['Grouping']))  # not among the known identifiers
            if version == 3:
                tags.update_to_v23()
            tags.save(path, v2_version=version)
            if unsync:
                unsynchronise(path, version)
            print(name)
)PY";

std::string Hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}
std::string Hex(const std::vector<uint8_t>& bytes) {
    return Hex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
std::string HexText(std::u16string_view text) { return Hex(U8(text)); }

// The model in the dump's form; identifiers as a v2.3 or v2.4 tag names them.
std::vector<std::string> DumpModel(const Id3Tag& tag, int major) {
    std::vector<std::string> lines;
    for (const auto& frame : tag.Frames()) {
        std::string id(frame->IdLetters());
        if (frame->Id() != kFrameUnknown) id = FrameIdName(major == 3 ? ToV23Id(frame->Id()) : ToV24Id(frame->Id()));
        std::ostringstream line;
        if (frame->Id() == kFrameCOMM && frame->TextField(1)) {
            line << "C " << frame->AsciiField()->Value() << ' ' << HexText(frame->TextField(0)->Text()) << ' '
                 << HexText(frame->TextField(1)->Text());
        } else if (frame->Id() == kFrameAPIC && frame->DataField(1)) {
            line << "P " << frame->AsciiField()->Value() << ' ' << int(frame->DataField(0)->Data()[0]) << ' '
                 << HexText(frame->TextField()->Text()) << ' ' << Hex(frame->DataField(1)->Data());
        } else if (const CTextField* text = frame->TextField()) {
            line << "T " << id << ' ' << HexText(text->Text());
            for (const auto& value : text->MoreValues()) line << ',' << HexText(value);
        } else {
            line << "R " << id << ' ' << Hex(frame->RawBodyField()->Data());
        }
        lines.push_back(line.str());
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Reports the lines only one side has (shortened), so a failure shows what differs.
void ExpectSameLines(const std::vector<std::string>& ours, const std::vector<std::string>& theirs) {
    std::vector<std::string> onlyOurs, onlyTheirs;
    std::set_difference(ours.begin(), ours.end(), theirs.begin(), theirs.end(), std::back_inserter(onlyOurs));
    std::set_difference(theirs.begin(), theirs.end(), ours.begin(), ours.end(), std::back_inserter(onlyTheirs));
    auto shorten = [](std::vector<std::string> lines) {
        std::string out;
        for (auto& line : lines) out += "\n  " + line.substr(0, 160);
        return out;
    };
    EXPECT_TRUE(onlyOurs.empty() && onlyTheirs.empty())
        << "only here:" << shorten(onlyOurs) << "\nonly in mutagen:" << shorten(onlyTheirs);
}

// Runs the dump over files; returns each file's lines.
std::map<std::string, std::vector<std::string>> DumpWithMutagen(const std::vector<fs::path>& files, bool translate) {
    const std::string code = std::string(kDumpPython) + R"PY(
translate = sys.argv[1] == '1'
for path in sys.argv[2:]:
    print('== ' + path)
    MP3(path)  # the audio after the tag must parse too
    for line in dump(path, translate):
        print(line)
)PY";
    std::vector<std::string> args = {translate ? "1" : "0"};
    for (const auto& f : files) args.push_back(f.string());
    const auto result = test::RunPython(code, args);
    EXPECT_EQ(result.status, 0) << result.err;
    std::map<std::string, std::vector<std::string>> dumps;
    std::istringstream in(result.out);
    std::string line, current;
    while (std::getline(in, line)) {
        if (line.rfind("== ", 0) == 0) current = line.substr(3);
        else dumps[current].push_back(line);
    }
    return dumps;
}

class MutagenTest : public SettingsTest {
protected:
    fs::path Mp3(const std::string& name) {
        const fs::path path = Path(name);
        test::MakeMp3(path, {"-b", "64"}, 0.5);
        return path;
    }
    static void ReadFile(const fs::path& path, Id3Tag& tag, uint64_t* size = nullptr) {
        BinaryFile file;
        uint32_t error = 0;
        ASSERT_TRUE(file.Open(PathFromNative(path.string()), OpenMode::Read, error));
        const uint64_t s = ReadV2(tag, file);
        if (size) *size = s;
        tag.ClearChanged();
    }
    std::vector<fs::path> MakeMutagenFiles() {
        const fs::path folder = Path("mutagen");
        fs::create_directory(folder);
        const auto result = test::RunPython(kMakePython, {Mp3("template.mp3").string(), folder.string()});
        EXPECT_EQ(result.status, 0) << result.err;
        std::vector<fs::path> files;
        std::istringstream in(result.out);
        std::string name;
        while (std::getline(in, name)) files.push_back(folder / name);
        return files;
    }
};

TEST_F(MutagenTest, FilesTaggedByMutagenReadTheSame) {
    const auto files = MakeMutagenFiles();
    ASSERT_EQ(files.size(), 16u);
    const auto dumps = DumpWithMutagen(files, false);
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        Id3Tag tag;
        uint64_t size = 0;
        ReadFile(path, tag, &size);
        const Bytes bytes = test::ReadFileBytes(path);
        const int major = bytes[3];
        EXPECT_EQ(size, 10u + ((bytes[6] * 128u + bytes[7]) * 128u + bytes[8]) * 128u + bytes[9]);
        ASSERT_EQ(tag.Frames().size(), 13u);
        ExpectSameLines(DumpModel(tag, major), dumps.at(path.string()));
        EXPECT_FALSE(tag.IsChanged());
    }
}

// Cut anywhere, a tag gives a prefix of its frames, each of them intact.
TEST_F(MutagenTest, TruncatedFilesKeepEveryIntactFrame) {
    for (const auto& path : MakeMutagenFiles()) {
        SCOPED_TRACE(path.filename().string());
        Id3Tag full;
        ReadFile(path, full);
        const Bytes bytes = test::ReadFileBytes(path);
        size_t previous = 0;
        for (size_t cut = 11; cut < bytes.size(); cut += 13) {
            Id3Tag part;
            const uint64_t size = ReadTagBytes(Path("cut.mp3"), Bytes(bytes.begin(), bytes.begin() + cut), part);
            EXPECT_LE(size, cut);
            ASSERT_LE(part.Frames().size(), full.Frames().size());
            ASSERT_GE(part.Frames().size(), previous) << cut;
            previous = part.Frames().size();
            for (size_t i = 0; i < part.Frames().size(); ++i) {
                ASSERT_TRUE(part.Frames()[i]->Equals(*full.Frames()[i])) << cut << " frame " << i;
                ASSERT_EQ(part.Frames()[i]->FieldCount(), full.Frames()[i]->FieldCount());
            }
        }
        EXPECT_EQ(previous, full.Frames().size());
    }
}

TEST_F(MutagenTest, V22TagsReadAsMutagenTranslatesThem) {
    const Bytes frames = Cat({
        FrameV22("TT2", Cat({B({1, 0xFF, 0xFE}), Utf16Le(u"Tïtle"), B({0, 0})})),
        FrameV22("TP1", Cat({B({0}), B("Artist")})),
        FrameV22("TAL", Cat({B({0}), B("Album")})),
        FrameV22("TRK", Cat({B({0}), B("4")})),
        FrameV22("TCO", Cat({B({0}), B("Rock")})),
        FrameV22("COM", Cat({B({0}), B("eng"), B("d"), B({0}), B("comment")})),
        FrameV22("PIC", Cat({B({0}), B("JPG"), B({3}), B("c"), B({0}), B({0xFF, 0xD8, 1, 2})})),
    });
    const fs::path path = Mp3("v22.mp3");
    const Bytes audio = test::ReadFileBytes(path);
    test::WriteFileBytes(path, Cat({Tag(2, frames, 32), audio}));
    Id3Tag tag;
    ReadFile(path, tag);
    ExpectSameLines(DumpModel(tag, 4), DumpWithMutagen({path}, true).at(path.string()));
    EXPECT_EQ(tag.Frames().size(), 7u);
}

// Frames rendered here, behind a header and padding, in front of lame's audio.
TEST_F(MutagenTest, RenderedFramesReadTheSameInMutagen) {
    const auto sources = MakeMutagenFiles();
    const fs::path source = Path("mutagen") / "v4_e1_u0.mp3";
    const Bytes audio = test::ReadFileBytes(Mp3("plain.mp3"));
    std::vector<fs::path> outputs;
    std::map<std::string, std::vector<std::string>> expected;
    for (bool v24 : {false, true}) {
        for (uint32_t encoding = 0; encoding < 4; ++encoding) {
            SetNumber("Encoding", encoding);
            Id3Tag tag;
            ReadFile(source, tag);
            const bool wide = CurrentEncoding(v24) != 0;
            tag.SetText(kFrameTIT2, wide ? u"Nеw tïtle ♫ 𝄞" : u"New tïtle");
            tag.SetText(kFrameTRCK, u"07");
            tag.SetText(kFrameTCON, u"Jazz");
            tag.SetText(kFrameTALB, wide ? u"Album €" : u"Album");
            tag.SetText(kFrameTPE2, u"");
            if (Id3Frame* comment = tag.FindComment(u"Beschreibung")) tag.RemoveFrame(comment);
            tag.AddComment("fra", wide ? u"Déjà ✓" : u"Déjà", wide ? u"Texte ✓" : u"Texte");
            tag.SetPicture(3, "image/png", u"Front", Cat({B({0x89, 'P', 'N', 'G', 0xFF, 0}), Bytes(300, 0xFF)}));
            tag.SetPicture(4, "image/jpeg", u"", {});
            tag.SetPicture(6, "image/jpeg", u"Media", B({0xFF, 0xD8, 0xFF, 0xE1, 0xFF}));

            const Bytes frames = RenderFrames(tag, v24);
            const fs::path out = Path(std::string("out_") + (v24 ? "4" : "3") + "_" + std::to_string(encoding) + ".mp3");
            test::WriteFileBytes(out, Cat({Tag(v24 ? 4 : 3, frames, 100), audio}));
            outputs.push_back(out);
            expected[out.string()] = DumpModel(tag, v24 ? 4 : 3);

            // The file reads back here as it was rendered.
            Id3Tag back;
            ReadFile(out, back);
            EXPECT_EQ(DumpModel(back, v24 ? 4 : 3), expected[out.string()]) << out.filename();
        }
    }
    const auto dumps = DumpWithMutagen(outputs, false);
    for (const auto& out : outputs) {
        // mutagen passes over a text frame that holds nothing after its encoding byte (the
        // empty TPE2, except in encoding 1 where it has a byte-order mark).
        auto emptyText = [](const std::string& line) { return line.starts_with("T ") && line.ends_with(" "); };
        auto lines = expected[out.string()];
        auto theirs = dumps.at(out.string());
        std::erase_if(lines, emptyText);
        std::erase_if(theirs, emptyText);
        SCOPED_TRACE(out.filename().string());
        ExpectSameLines(lines, theirs);
    }
}

}  // namespace
}  // namespace quorvane::tagtest
