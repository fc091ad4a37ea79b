// Round trips against mutagen, an independent reader and writer, on lame-made MP3s:
// files tagged by mutagen read the same here, and files written here read the same in
// mutagen, with their audio byte for byte.
#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <tuple>

#include "tag_test_util.h"
#include "tags/id3v2_writer.h"

namespace quorvane::tagtest {
namespace {

// One line per frame, texts as hex of their UTF-8, sorted; then one line with the length
// of the audio as mutagen measures it.
constexpr const char* kDumpPython = R"PY(
import sys
from mutagen.id3 import ID3, ID3NoHeaderError
from mutagen.mp3 import MP3

def h(s):
    return str(s).encode('utf-8').hex()

for path in sys.argv[1:]:
    print('== ' + path)
    lines = []
    try:
        frames = ID3(path, translate=False).values()
    except ID3NoHeaderError:
        frames = []
    for f in frames:
        fid = f.FrameID
        if fid == 'COMM':
            lines.append('C %s %s %s' % (f.lang.lower(), h(f.desc), h(f.text[0] if f.text else '')))
        elif fid == 'APIC':
            lines.append('P %s %d %s %s' % (f.mime, f.type, h(f.desc), f.data.hex()))
        elif fid.startswith('T') and fid != 'TXXX':
            lines.append('T %s %s' % (fid, ','.join(h(x) for x in f.text)))
        else:
            lines.append('R %s %s' % (fid, f._writeData().hex()))
    for line in sorted(lines):
        print(line)
    print('~ %.3f' % MP3(path).info.length)
)PY";

// Makes the files: argv = template mp3, output folder. 16 files of every version,
// encoding and unsynchronisation, one with 400000 bytes of padding, one untagged; all
// but the untagged one end in an ID3v1 record. Then four files for the edits.
constexpr const char* kMakePython = R"PY(
import os, shutil, sys
from mutagen.id3 import (ID3, TIT2, TPE1, TALB, TRCK, TCON, TYER, TDAT, TIME, TDRC, COMM, APIC, TXXX, PRIV, GRP1)
from mutagen.id3._util import unsynch, BitPaddedInt

def unsynchronise(path, version):
    data = open(path, 'rb').read()
    size = BitPaddedInt(data[6:10])
    area, rest = data[10:10 + size], data[10 + size:]
    flags = data[5]
    if version == 3:
        new = unsynch.encode(area)
        flags |= 0x80
    else:
        new, pos = b'', 0
        while pos + 10 <= len(area) and area[pos] != 0:
            fsize = BitPaddedInt(area[pos + 4:pos + 8])
            fflags = int.from_bytes(area[pos + 8:pos + 10], 'big') | 0x0002
            body = unsynch.encode(area[pos + 10:pos + 10 + fsize])
            new += area[pos:pos + 4] + BitPaddedInt.to_str(len(body)) + fflags.to_bytes(2, 'big') + body
            pos += 10 + fsize
        new += b'\0' * 16
    open(path, 'wb').write(b'ID3' + bytes([data[3], data[4], flags]) + BitPaddedInt.to_str(len(new)) + new + rest)

def make(name, version, enc, unsync=0, padding=None):
    path = os.path.join(folder, name)
    shutil.copy(template, path)
    w = enc != 0
    tags = ID3()
    tags.add(PRIV(owner='owner@example.org', data=b'\x00\xff\x00\xffpriv'))
    for frame in (TIT2(text=['Tïtle 日本' if w else 'Tïtle']), TPE1(text=['Ärtist', 'Second']),
                  TALB(text=['Album €' if w else 'Album']), TRCK(text=['3/12']), TCON(text=['(17)Rock & Roll']),
                  TDRC(text=['1999']), COMM(lang='eng', desc='', text=['Comment ü']),
                  COMM(lang='deu', desc='Beschreibung', text=['Text ö' + (' Ω' if w else '')]),
                  APIC(mime='image/png', type=3, desc='Cover', data=bytes(range(256)) * 2 + b'\xff\x00\xff\xe0\xff'),
                  APIC(mime='image/jpeg', type=4, desc='', data=b'\xff\xd8\xff\xe0back'),
                  TXXX(desc='key', text=['value ü']), GRP1(text=['Grouping'])):  # GRP1: not a known identifier
        frame.encoding = enc
        tags.add(frame)
    if version == 3:
        tags.update_to_v23()
    tags.save(path, v2_version=version, v1=2, padding=None if padding is None else (lambda info: padding))
    if unsync:
        unsynchronise(path, version)
    print(name)

template, folder = sys.argv[1], sys.argv[2]
for version in (3, 4):
    for enc in (0, 1, 2, 3):
        for unsync in (0, 1):
            make('v%d_e%d_u%d.mp3' % (version, enc, unsync), version, enc, unsync)
make('padded.mp3', 3, 1, padding=400000)
shutil.copy(template, os.path.join(folder, 'plain.mp3'))

# For the edits: v2.3 and v2.4 in two encodings each, with comments whose languages are
# no codes, dates, several values, a picture and a private frame.
for version, enc in ((3, 0), (3, 1), (4, 1), (4, 3)):
    path = os.path.join(folder, 'edit_v%d_e%d.mp3' % (version, enc))
    shutil.copy(template, path)
    tags = ID3()
    dates = [TYER(text=['1999']), TDAT(text=['0312']), TIME(text=['1530'])] if version == 3 else [TDRC(text=['1999-12-03T15:30'])]
    for frame in [TIT2(text=['Title']), TPE1(text=['One', 'Twö']), TALB(text=['Album']), TCON(text=['35'])] + dates + [
            COMM(lang='XXX', desc='', text=['upper']), COMM(lang='en\x00', desc='d', text=['zero']),
            APIC(mime='image/png', type=3, desc='Cover', data=bytes(range(256))), TXXX(desc='k', text=['v'])]:
        frame.encoding = enc
        tags.add(frame)
    tags.add(PRIV(owner='o', data=b'\x00\xff'))
    tags.save(path, v2_version=version, v1=0, padding=lambda info: 300)
    print(os.path.basename(path))
)PY";

std::string Hex(std::span<const uint8_t> bytes) {
    std::string out;
    for (uint8_t c : bytes) out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
    return out;
}
std::string HexText(std::u16string_view text) {
    const std::string utf8 = U8(text);
    return Hex({reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size()});
}

// The model in the dump's form; identifiers as a v2.3 or v2.4 tag names them.
std::vector<std::string> DumpModel(const Id3Tag& tag, int major) {
    std::vector<std::string> lines;
    for (const auto& frame : tag.Frames()) {
        std::string id(frame->IdLetters());
        if (frame->Id() != kFrameUnknown) id = FrameIdName(major == 3 ? ToV23Id(frame->Id()) : frame->Id());
        std::ostringstream line;
        if (frame->Family() == FrameFamily::Comment) {
            line << "C " << frame->Ascii(FieldRole::Language)->Value() << ' '
                 << HexText(frame->Text(FieldRole::Description)->Text()) << ' '
                 << HexText(frame->Text(FieldRole::Text)->Text());
        } else if (frame->Family() == FrameFamily::Picture) {
            line << "P " << frame->Ascii(FieldRole::MimeType)->Value() << ' '
                 << int(frame->Data(FieldRole::PictureType)->Data()[0]) << ' '
                 << HexText(frame->Text(FieldRole::Description)->Text()) << ' '
                 << Hex(frame->Data(FieldRole::PictureData)->Data());
        } else if (const TextField* text = frame->Text()) {
            line << "T " << id << ' ' << HexText(text->Text());
            for (const auto& value : text->MoreValues()) line << ',' << HexText(value);
        } else {
            line << "R " << id << ' ' << Hex(frame->Data(FieldRole::Body)->Data());
        }
        lines.push_back(line.str());
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Reports the lines only one side has (shortened), so a failure shows what differs.
void ExpectSameLines(const std::vector<std::string>& ours, const std::vector<std::string>& theirs) {
    std::string report;
    for (const auto& [side, one, other] : {std::tuple{"here", &ours, &theirs}, {"mutagen", &theirs, &ours}}) {
        std::vector<std::string> only;
        std::set_difference(one->begin(), one->end(), other->begin(), other->end(), std::back_inserter(only));
        for (const auto& line : only) report += std::string("\n  ") + side + ": " + line.substr(0, 160);
    }
    EXPECT_TRUE(report.empty()) << report;
}

struct Dump {
    std::vector<std::string> frames;
    std::string length;
};
std::map<std::string, Dump> DumpWithMutagen(const std::vector<fs::path>& files) {
    std::vector<std::string> args;
    for (const auto& f : files) args.push_back(f.string());
    const auto result = test::RunPython(kDumpPython, args);
    EXPECT_EQ(result.status, 0) << result.err;
    std::map<std::string, Dump> dumps;
    std::istringstream in(result.out);
    std::string line, current;
    while (std::getline(in, line)) {
        if (line.starts_with("== ")) current = line.substr(3);
        else if (line.starts_with("~ ")) dumps[current].length = line.substr(2);
        else dumps[current].frames.push_back(line);
    }
    return dumps;
}

// The frames of a file's ID3v2 tag, each as its bytes (header and body).
std::vector<Bytes> TagFrames(const Bytes& file) {
    std::vector<Bytes> frames;
    const size_t end = 10 + ((file[6] * 128u + file[7]) * 128u + file[8]) * 128u + file[9];
    for (size_t pos = 10; pos + 10 <= end && file[pos] != 0;) {
        const Bytes size(file.begin() + long(pos) + 4, file.begin() + long(pos) + 8);
        const size_t length = 10 + (file[3] == 4 ? ((size[0] * 128u + size[1]) * 128u + size[2]) * 128u + size[3]
                                                 : size_t{size[0]} << 24 | size[1] << 16 | size[2] << 8 | size[3]);
        frames.emplace_back(file.begin() + long(pos), file.begin() + long(std::min(pos + length, end)));
        pos += length;
    }
    return frames;
}

class MutagenTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path folder = dir_ / "mutagen";
        fs::create_directory(folder);
        test::MakeMp3(dir_ / "template.mp3", {"-b", "64"}, 0.5);
        const auto result = test::RunPython(kMakePython, {(dir_ / "template.mp3").string(), folder.string()});
        ASSERT_EQ(result.status, 0) << result.err;
        std::istringstream in(result.out);
        for (std::string name; std::getline(in, name);) tagged_.push_back(folder / name);
        ASSERT_EQ(tagged_.size(), 21u);
        edited_.assign(tagged_.end() - 4, tagged_.end());
        tagged_.resize(17);
    }
    // Reads the file, lets `edit` change the tag and writes it; returns the tag written
    // in the dump's form.
    static std::vector<std::string> Save(const fs::path& path, const TagWriteOptions& options,
                                         const std::function<void(Id3Tag&)>& edit) {
        BinaryFile file = test::OpenForSave(path);
        Id3Tag tag;
        ReadV2(tag, file);
        tag.ClearChanged();
        edit(tag);
        WriteV2(tag, file, NativePath(path), options);
        return DumpModel(tag, options.use24 ? 4 : 3);
    }
    test::TempDir dir_;
    std::vector<fs::path> tagged_;  // 16 files of every kind, then padded.mp3
    std::vector<fs::path> edited_;  // the files for the edits
};

TEST_F(MutagenTest, FilesTaggedByMutagenReadTheSameAndCutAnywhereGiveAnIntactPrefix) {
    const auto dumps = DumpWithMutagen(tagged_);
    for (const auto& path : tagged_) {
        SCOPED_TRACE(path.filename().string());
        Id3Tag tag;
        const Bytes bytes = test::ReadFileBytes(path);
        EXPECT_EQ(ReadTagBytes(dir_, bytes, tag), 10u + ((bytes[6] * 128u + bytes[7]) * 128u + bytes[8]) * 128u + bytes[9]);
        ASSERT_EQ(tag.Frames().size(), 13u);
        ExpectSameLines(DumpModel(tag, bytes[3]), dumps.at(path.string()).frames);
        if (path == tagged_.back()) continue;  // padded.mp3: the cuts would fall in its padding
        size_t previous = 0;
        for (size_t cut = 11; cut < bytes.size(); cut += 13) {
            Id3Tag part;
            EXPECT_LE(ReadTagBytes(dir_, Bytes(bytes.begin(), bytes.begin() + long(cut)), part), cut);
            ASSERT_GE(part.Frames().size(), previous) << cut;
            ASSERT_LE(part.Frames().size(), tag.Frames().size());
            previous = part.Frames().size();
            for (size_t i = 0; i < previous; ++i) ASSERT_TRUE(part.Frames()[i]->Equals(*tag.Frames()[i])) << cut;
        }
        EXPECT_EQ(previous, tag.Frames().size());
    }
}

// Edits every text that a code page could not hold, so that all encodings keep them.
void Edit(Id3Tag& tag, bool wide, size_t pictureBytes) {
    tag.SetText(kFrameTIT2, wide ? u"Nеw tïtle ♫ \u0800 𝄞" : u"New tïtle");
    tag.SetText(kFrameTRCK, u"07");
    tag.SetText(kFrameTCON, u"Jazz");
    tag.SetText(kFrameTALB, wide ? u"Album €" : u"Album");
    if (Id3Frame* comment = tag.FindComment(u"Beschreibung")) tag.RemoveFrame(comment);
    tag.AddComment("fra", wide ? u"Déjà ✓" : u"Déjà", wide ? u"Texte ✓" : u"Texte");
    tag.SetPicture(3, "image/png", u"Front", Cat({B({0x89, 'P', 'N', 'G', 0xFF, 0}), Bytes(300, 0xFF)}));
    tag.SetPicture(4, "image/jpeg", u"", {});
    tag.SetPicture(6, "image/jpeg", u"Media", Audio(pictureBytes, 6));
}

TEST_F(MutagenTest, FilesWrittenHereReadTheSameInMutagenWithTheirAudio) {
    // Every version and encoding index, and tags written in place, grown, cut and
    // inserted. The encoding byte written: UTF-16 big-endian and UTF-8 exist only in
    // v2.4, an index beyond the list is the code page.
    struct Case {
        const char* source;
        bool use24;
        uint32_t encoding;
        size_t picture;
        uint32_t decrease;
        uint8_t written;
    };
    const Case cases[] = {
        {"v3_e0_u0", false, 0, 5, kNever, 0},     {"v3_e1_u1", false, 1, 5, kNever, 1},
        {"v4_e2_u0", true, 2, 5, kNever, 2},      {"v4_e3_u1", true, 3, 5, kNever, 3},
        {"v4_e1_u1", true, 4, 5, kNever, 0},      {"v3_e3_u0", true, 1, 200000, kNever, 1},  // grows
        {"v4_e0_u0", false, 3, 200000, kNever, 0},                                         // grows
        {"padded", true, 3, 5, 131072, 3},        {"padded", false, 2, 5, kNever, 0},        // cut, kept
        {"plain", true, 1, 5, kNever, 1},                                                    // inserted
    };
    std::vector<fs::path> files;  // source, output, source, output...
    std::vector<std::vector<std::string>> expected;
    for (const Case& c : cases) {
        const fs::path source = dir_ / "mutagen" / (std::string(c.source) + ".mp3");
        const fs::path out = dir_ / (std::to_string(expected.size()) + "_" + c.source + ".mp3");
        SCOPED_TRACE(out.filename().string());
        fs::copy_file(source, out);
        expected.push_back(Save(out, {.use24 = c.use24, .encoding = c.encoding, .decreasePaddingVal = c.decrease},
                                [&](Id3Tag& tag) { Edit(tag, c.written != 0, c.picture); }));
        const Bytes before = test::ReadFileBytes(source), after = test::ReadFileBytes(out);
        EXPECT_TRUE(AudioBytes(after) == AudioBytes(before)) << "audio changed";
        EXPECT_TRUE(std::equal(before.end() - 128, before.end(), after.end() - 128));  // the ID3v1 record
        EXPECT_EQ(after[3], c.use24 ? 4 : 3);
        const std::vector<Bytes> frames = TagFrames(after);
        EXPECT_TRUE(std::any_of(frames.begin(), frames.end(), [&](const Bytes& f) {
            return std::string(f.begin(), f.begin() + 4) == "TIT2" && f[10] == c.written;  // its encoding byte
        }));
        files.insert(files.end(), {source, out});
    }
    const auto dumps = DumpWithMutagen(files);
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(files[2 * i + 1].filename().string());
        const Dump& source = dumps.at(files[2 * i].string());
        const Dump& written = dumps.at(files[2 * i + 1].string());
        ExpectSameLines(expected[i], written.frames);
        EXPECT_EQ(written.length, source.length);
    }
}

// An edit of one frame leaves every other frame as it was, byte for byte, in the version
// it was read in; written in the other version, mutagen reads the dates and languages.
TEST_F(MutagenTest, AnEditLeavesEveryOtherFrameByteForByte) {
    for (const fs::path& path : edited_) {
        SCOPED_TRACE(path.filename().string());
        const Bytes before = test::ReadFileBytes(path);
        Save(path, {.use24 = before[3] == 4}, [](Id3Tag& tag) { tag.SetText(kFrameTALB, u"Edited"); });
        std::vector<Bytes> old = TagFrames(before), now = TagFrames(test::ReadFileBytes(path));
        ASSERT_EQ(old.size(), now.size());
        for (size_t i = 0; i < old.size(); ++i) {
            if (std::string(old[i].begin(), old[i].begin() + 4) != "TALB") EXPECT_EQ(now[i], old[i]) << i;
            else EXPECT_NE(now[i], old[i]);
        }
        Save(path, {.use24 = before[3] == 3}, [](Id3Tag& tag) { tag.SetListChanged(); });
    }
    const auto result = test::RunPython(R"PY(
import sys
from mutagen.id3 import ID3
for path in sys.argv[1:]:
    t = ID3(path, translate=False)
    print(t.version[1], t['TDRC' if t.version[1] == 4 else 'TYER'], t.get('TDAT'), t.get('TIME'),
          ' '.join(sorted(c.lang.encode('latin-1').hex() for c in t.getall('COMM'))), t['TALB'], t['TCON'])
)PY", {edited_[0].string(), edited_[2].string()});
    EXPECT_EQ(result.out, "4 1999-12-03 15:30 None None 585858 656e00 Edited 35\n"  // XXX, en and a zero
                          "3 1999 0312 1530 585858 656e00 Edited 35\n");
}

}  // namespace
}  // namespace quorvane::tagtest
