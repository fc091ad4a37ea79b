// What an export writes, checked byte for byte and by xmllint and Python's parser:
// playlists, pictures and the XML listing, with hostile tags and failing writes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "export/export_file.h"
#include "export/m3u_exporter.h"
#include "export/picture_export.h"
#include "export/pls_exporter.h"
#include "export/xml_export.h"
#include "export/xml_export_options.h"
#include "export/xml_writer.h"
#include "library/mp3_file_record.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "platform/user_prompts.h"
#include "support/mutagen_support.h"
#include "support/test_support.h"
#include "tags/id3_tag.h"

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;

// MPEG-1 Layer III, 128 kbit/s, 44,100 Hz; a "Xing" header gives a mean of 96 kbit/s.
RecordPtr CraftedRecord(const fs::path& dir, const std::string& name, uint32_t seconds, bool vbr = false) {
    std::vector<uint8_t> frame(417, 0);
    const uint32_t frames = static_cast<uint32_t>((uint64_t{seconds} * 44100 + 1151) / 1152), bytes = frames * 314;
    const uint8_t head[] = {0xFF, 0xFB, 0x90, 0x00};
    std::copy(head, head + 4, frame.begin());
    std::copy_n(vbr ? "Xing" : "Info", 4, frame.begin() + 36);
    frame[43] = vbr ? 0x03 : 0x01;  // frame count (and byte count) present
    for (int i = 0; i < 4; ++i) frame[44 + i] = static_cast<uint8_t>(frames >> (24 - 8 * i));
    for (int i = 0; i < 4; ++i) frame[48 + i] = static_cast<uint8_t>(bytes >> (24 - 8 * i));
    WriteFileBytes(dir / name, frame);
    const SharedText directory(PathFromNative(dir.string()));
    auto record = std::make_shared<Mp3FileRecord>(directory, PathFromNative(name), directory);
    RecordingPrompts prompts;
    EXPECT_TRUE(record->LoadFile(prompts, {}));
    EXPECT_EQ(record->Stream().duration, seconds);
    return record;
}

std::string Bytes(const fs::path& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// xmllint's complaint about a document; empty when it is well-formed.
std::string XmllintErrors(const std::string& document) {
    const CommandResult r = RunCommand({"xmllint", "--noout", "-"}, document);
    return r.status == 0 ? std::string() : r.err;
}

// What Python's xml.etree reads: a line per element, "<depth> <tag> name=<JSON> ...".
std::string ParseWithPython(const std::string& document) {
    return Py(R"(import xml.etree.ElementTree as ET
def walk(e, depth):
    print(depth, e.tag, ' '.join('%s=%s' % (k, json.dumps(v)) for k, v in e.attrib.items()))
    for c in e: walk(c, depth + 1)
walk(ET.fromstring(sys.stdin.buffer.read()), 0))",
              document) + "\n";
}

// While it lives, writes beyond `limit` bytes fail (EFBIG), for root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) : previous_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int);
};

// Never loaded: a name and a tag are all a document needs.
RecordPtr Unloaded(std::u16string name, std::u16string title = {}, std::u16string artist = {}) {
    auto record = std::make_shared<Mp3FileRecord>(SharedText(u"/m"), std::move(name), SharedText(u"/m"));
    if (!title.empty()) record->Tag().SetText(kFrameTIT2, title);
    if (!artist.empty()) record->Tag().SetText(kFrameTPE1, artist);
    return record;
}

std::string M3u(const std::vector<RecordPtr>& targets) { return M3uExporter().Document(targets); }
std::string Pls(const std::vector<RecordPtr>& targets) { return PlsExporter().Document(targets); }

TEST(Playlists, DocumentsByteForByte) {
    TempDir dir;
    const RecordPtr a = CraftedRecord(dir.Path(), "a.mp3", 185);
    EXPECT_EQ(M3u({a}), "#EXTM3U\n#EXTINF:185, - \na.mp3\n");  // no tags
    a->Tag().SetText(kFrameTPE1, u"X");
    a->Tag().SetText(kFrameTIT2, u"Y");
    EXPECT_EQ(M3u({a}), "#EXTM3U\n#EXTINF:185,X - Y\na.mp3\n");
    EXPECT_EQ(Pls({a}), "[playlist]\nFile1=a.mp3\nTitle1=Y\nLength1=185\nNumberOfEntries=1\nVersion=2");
    // Target order, numbered from 1; a pending rename lists the new name; a name that
    // starts with '#' would be a comment line.
    const RecordPtr b = Unloaded(u"b.mp3", u"T");
    b->SetFileName(u"#1 AC/DC.mp3");
    EXPECT_EQ(M3u({b, a}), "#EXTM3U\n#EXTINF:0, - T\n./#1 AC DC.mp3\n#EXTINF:185,X - Y\na.mp3\n");
    EXPECT_EQ(Pls({b, a}), "[playlist]\nFile1=#1 AC DC.mp3\nTitle1=T\nLength1=0\nFile2=a.mp3\nTitle2=Y\nLength2=185\n"
                           "NumberOfEntries=2\nVersion=2");
    EXPECT_EQ(Pls({}), "[playlist]\nNumberOfEntries=0\nVersion=2");

    // Titles in the code page; names as their bytes on disk, so players find "曲.mp3" and
    // names that are not UTF-8 at all.
    const std::vector<RecordPtr> targets = {Unloaded(u"曲.mp3", u"曲 café", u"Ärzte"),
                                            Unloaded(PathFromNative("\xff\xfe-\xc3.mp3"))};
    EXPECT_EQ(M3u(targets),
              "#EXTM3U\n#EXTINF:0,\xc4rzte - ? caf\xe9\n\xe6\x9b\xb2.mp3\n#EXTINF:0, - \n\xff\xfe-\xc3.mp3\n");
    EXPECT_EQ(Pls(targets), "[playlist]\nFile1=\xe6\x9b\xb2.mp3\nTitle1=? caf\xe9\nLength1=0\nFile2=\xff\xfe-\xc3.mp3\n"
                            "Title2=\nLength2=0\nNumberOfEntries=2\nVersion=2");
    const CodePage cyrillic("CP1251");
    EXPECT_EQ(M3uExporter(cyrillic).Document(std::vector<RecordPtr>{Unloaded(u"Ж.mp3", u"Песня", u"Ж")}),
              "#EXTM3U\n#EXTINF:0,\xc6 - \xcf\xe5\xf1\xed\xff\n\xd0\x96.mp3\n");

    // A title "x\n/home/me/other.mp3" must not add an entry, nor "x\nFile1=..." rewrite one:
    // control characters become blanks. No 1,024-byte cut either.
    const std::u16string texts[] = {
        u"x\n/home/me/other.mp3", u"x\r\nFile1=/etc/passwd", u"x\rTitle1=y", std::u16string(u"nul\0b\tc", 8),
        u"\x01\x1f\x7f\x80\x85\x9f", u"ls\u2028ps\u2029", std::u16string(1013, u'a'), std::u16string(5000, u'b')};
    for (const std::u16string& text : texts) {
        std::u16string blanked = text;
        for (char16_t& c : blanked) c = (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c >= 0x2028) ? u' ' : c;
        const std::string b = U8(blanked);
        const std::vector<RecordPtr> targets = {Unloaded(text + u".mp3", text, text), Unloaded(u"n.mp3")};
        EXPECT_EQ(M3u(targets), "#EXTM3U\n#EXTINF:0," + b + " - " + b + "\n" + b + ".mp3\n#EXTINF:0, - \nn.mp3\n");
        EXPECT_EQ(Pls(targets), "[playlist]\nFile1=" + b + ".mp3\nTitle1=" + b + "\nLength1=0\nFile2=n.mp3\nTitle2=\n"
                                "Length2=0\nNumberOfEntries=2\nVersion=2");
    }
}

TEST(ExportFile, WrittenWholeOrNotAtAll) {
    TempDir dir;
    RecordingPrompts prompts;
    const fs::path list = dir / "list.m3u";
    std::vector<RecordPtr> targets = {CraftedRecord(dir.Path(), "a.mp3", 185)};
    ASSERT_TRUE(ExportDocument(PlsExporter(), targets, PathFromNative(list.string()), prompts));
    ASSERT_TRUE(ExportDocument(M3uExporter(), targets, PathFromNative(list.string()), prompts));
    EXPECT_EQ(Bytes(list), "#EXTM3U\n#EXTINF:185, - \na.mp3\n");
    EXPECT_TRUE(ExportDocument(M3uExporter(), {}, u"/nonexistent/none.m3u", prompts));  // no targets: nothing
    EXPECT_EQ(prompts.Count(), 0u);

    // A write that fails (the file-size limit binds root too) or a rename that fails is
    // reported once each, and the playlist that was there stays whole.
    for (int i = 0; i < 40; ++i) targets.push_back(CraftedRecord(dir.Path(), std::to_string(i) + ".mp3", 1));
    {
        const FileSizeLimit limit(200);
        EXPECT_FALSE(ExportDocument(M3uExporter(), targets, PathFromNative(list.string()), prompts));
    }
    struct FailRename : SaveFaults {
        void BeforeStep(SaveStep step) override {
            if (step == SaveStep::Rename) throw FileException{EXDEV};
        }
    } faults;
    EXPECT_FALSE(ExportDocument(XmlExporter({}), targets, PathFromNative(list.string()), prompts, &faults));
    EXPECT_FALSE(ExportDocument(M3uExporter(), targets, PathFromNative((dir / "no" / "x").string()), prompts));
    EXPECT_EQ(Bytes(list), "#EXTM3U\n#EXTINF:185, - \na.mp3\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 42);  // no leftovers
    const std::vector<RecordedPrompt> shown = prompts.Prompts();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(U8(shown[0].text), "Error when writing to file \"" + list.string() + "\":\nFile too large");
    EXPECT_EQ(U8(shown[1].text), "Error when writing to file \"" + list.string() + "\":\nInvalid cross-device link");
    EXPECT_EQ(U8(shown[2].text),
              "Error when opening file \"" + (dir / "no" / "x").string() + "\":\nNo such file or directory");
    EXPECT_EQ(shown[2].kind + U8(shown[2].caption), "errorQuorvane 1.7");

    // The XML dialog opens after the file is opened; cancelled (the target dropped), it
    // leaves the file as it was and makes no empty one.
    for (const fs::path& path : {list, dir / "new.xml"}) {
        ExportTarget target;
        ASSERT_TRUE(target.Open(PathFromNative(path.string()), prompts));
    }
    EXPECT_EQ(Bytes(list), "#EXTM3U\n#EXTINF:185, - \na.mp3\n");
    EXPECT_FALSE(fs::exists(dir / "new.xml"));
}

TEST(PictureNames, FromFileTypeAndMimeType) {
    const std::pair<std::string, std::u16string> extensions[] = {
        {"image/jpeg", u"jpg"}, {"IMAGE/JPG", u"jpg"}, {"image/png", u"png"}, {"", u""}, {"image/", u""},
        {"jpeg", u"jpg"}, {"image/jpeg2", u"jpeg2"}, {"text/plain", u"text plain"}, {"\xc9", u"\u00e9"},
        {"image/../../x", u".. .. x"}, {"image/a\\b:c?d\"e<f>g|h", u"a b c d e f g h"}};
    for (const auto& [mime, extension] : extensions) EXPECT_EQ(PictureExtension(mime), extension) << mime;
    EXPECT_EQ(PictureBaseName(u"Song.mp3", 3), u"Song.mp3 - Cover (front)");
    EXPECT_EQ(PictureBaseName(u"a?.mp3", 20), u"a .mp3 - Publisher Studio logotype");
    EXPECT_EQ(PictureBaseName(u"a.mp3", 21), u"a.mp3 - Other");
    EXPECT_EQ(PictureFileName(u"b", u"jpg", 1) + PictureFileName(u"b", u"", 2), u"b.jpgb (2).");
}

class PictureExport : public ::testing::Test {
protected:
    RecordPtr Record(const std::string& sub, const std::string& name, std::initializer_list<uint8_t> types,
                     const std::string& mime = "image/png") {
        const SharedText dir(PathFromNative((dir_ / sub).string()));
        auto record = std::make_shared<Mp3FileRecord>(dir, PathFromNative(name), dir);
        for (uint8_t type : types) {
            record->Tag().AddFrame(MakePictureFrame(type, mime, u"", Image(type + 10 * seed_++)));
        }
        return record;
    }
    static std::vector<uint8_t> Image(size_t size) { return std::vector<uint8_t>(size, static_cast<uint8_t>(size)); }
    std::vector<std::string> Export(const std::vector<RecordPtr>& targets, bool dryRun = false) {
        std::vector<std::string> names;
        const auto result = ExportPictures(targets, PathFromNative(out_.string()), prompts_, dryRun);
        for (const std::u16string& path : result.written) {
            EXPECT_EQ(fs::path(PathToNative(path)).parent_path(), out_);
            names.push_back(fs::path(PathToNative(path)).filename().string());
        }
        return names;
    }
    TempDir dir_;
    fs::path out_ = dir_.Path();
    RecordingPrompts prompts_;
    int seed_ = 1;
};

// The last target first, each file's pictures in tag order; a name taken, by this export
// or by a file or link already there, gets the next free number.
TEST_F(PictureExport, NothingIsEverOverwritten) {
    const RecordPtr first = Record("d1", "01.mp3", {3}), second = Record("d2", "01.mp3", {3, 3, 4});
    WriteFileBytes(out_ / "01.mp3 - Cover (back).png", {'o'});
    fs::create_symlink(dir_ / "victim", out_ / "01.mp3 - Cover (front) (3).png");
    const std::vector<std::string> expected = {"01.mp3 - Cover (front).png", "01.mp3 - Cover (front) (2).png",
                                               "01.mp3 - Cover (back) (2).png", "01.mp3 - Cover (front) (4).png"};
    EXPECT_EQ(Export({first, second}, true), expected);  // a dry run names the same files, writes none
    EXPECT_FALSE(fs::exists(out_ / expected[0]));
    EXPECT_EQ(Export({first, second}), expected);
    const size_t images[] = {3 + 20, 3 + 30, 4 + 40, 3 + 10};  // type + 10 * the picture's seed
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(ReadFileBytes(out_ / expected[i]), Image(images[i])) << expected[i];
    EXPECT_EQ(Bytes(out_ / "01.mp3 - Cover (back).png"), "o");
    EXPECT_FALSE(fs::exists(dir_ / "victim"));
    const RecordPtr hostile = Record("", "x.mp3", {0, 0}, "image/../../escaped");
    EXPECT_EQ(Export({hostile}),
              (std::vector<std::string>{"x.mp3 - Other... .. escaped", "x.mp3 - Other (2)... .. escaped"}));
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(PictureExport, NoPicturesGiveOneMessage) {
    const RecordPtr plain = Record("", "a.mp3", {});
    // A picture kept raw (compressed in the file) has no image to write.
    plain->Tag().AddFrame(Id3Frame::Make(kFrameAPIC, 0, FrameFamily::Raw));
    EXPECT_FALSE(CheckPicturesToExport({}, prompts_));
    EXPECT_FALSE(CheckPicturesToExport(std::vector<RecordPtr>{plain}, prompts_));
    EXPECT_FALSE(CheckPicturesToExport(std::vector<RecordPtr>{plain, plain, plain}, prompts_));
    EXPECT_TRUE(CheckPicturesToExport(std::vector<RecordPtr>{plain, Record("", "p.mp3", {1})}, prompts_));
    const std::vector<RecordedPrompt> shown = prompts_.Prompts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind + U8(shown[0].caption + u": " + shown[0].text),
              "errorQuorvane 1.7: The selected file does not contain any images.");
    EXPECT_EQ(shown[1].text, u"The selected files do not contain any images.");
}

TEST_F(PictureExport, EachFailureIsReportedAndTheExportGoesOn) {
    const RecordPtr record = Record("", "s.mp3", {200, 4});  // a picture of 210 bytes, then one of 24
    {
        const FileSizeLimit limit(100);
        EXPECT_EQ(Export({record}), std::vector<std::string>{"s.mp3 - Cover (back).png"});
    }
    EXPECT_FALSE(fs::exists(out_ / "s.mp3 - Other.png"));  // the part written is gone
    out_ = dir_ / "none";
    EXPECT_EQ(Export({record}), std::vector<std::string>{});
    const std::vector<RecordedPrompt> shown = prompts_.Prompts();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, U16("Error when writing to file \"" + (dir_ / "s.mp3 - Other.png").string() +
                                 "\":\nFile too large"));
    EXPECT_EQ(shown[1].text, U16("Error when opening file \"" + (out_ / "s.mp3 - Other.png").string() +
                                 "\":\nNo such file or directory"));
}

TEST(XmlWriter, ElementsNestWithOneTabPerLevelAndEveryValueParsesBackAsGiven) {
    XmlElement tree("R");
    tree.AddChild("Empty");
    XmlElement& group = tree.AddChild("G");
    group.AddAttribute(XmlAttribute::String("name", u"g"));
    XmlElement& leaf = group.AddChild("L");
    leaf.AddAttribute(XmlAttribute::Number("n", 4294967295u));
    leaf.AddAttribute(XmlAttribute::Boolean("yes", true));
    leaf.AddAttribute(XmlAttribute::Boolean("no", false));
    group.AddChild("T").SetText(u"a < \"b\"\r\n");
    EXPECT_EQ(XmlDocument(tree), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<R>\n\t<Empty />\n\t<G name=\"g\">\n"
                                 "\t\t<L n=\"4294967295\" yes=\"true\" no=\"false\" />\n"
                                 "\t\t<T>a &lt; &quot;b&quot;&#13;\n</T>\n\t</G>\n</R>");

    // Markup characters become references; tab, line feed and carriage return too (a parser
    // would read blanks otherwise); what XML 1.0 cannot carry is left out (C0 controls,
    // U+FFFE, U+FFFF) or replaced (an unpaired surrogate, as a name byte that is not UTF-8).
    const struct {
        std::u16string value;
        std::string written;
        std::string parsed;  // as JSON
    } cases[] = {
        {u"Rock & <Roll>", "Rock &amp; &lt;Roll&gt;", "\"Rock & <Roll>\""},
        {u"\"/><Evil a=\"'", "&quot;/&gt;&lt;Evil a=&quot;'", "\"\\\"/><Evil a=\\\"'\""},
        {u"\t\n\r", "&#9;&#10;&#13;", "\"\\t\\n\\r\""},
        {std::u16string(u"a\0\x01\x08\x0b\x1f\uFFFE\uFFFFb", 10), "ab", "\"ab\""},
        {u"\x7f\x80\x9f\u07ff\u0800", "\x7f\xc2\x80\xc2\x9f\xdf\xbf\xe0\xa0\x80",
         "\"\\u007f\\u0080\\u009f\\u07ff\\u0800\""},
        {u"\U00010000\U0010FFFF", "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", "\"\\ud800\\udc00\\udbff\\udfff\""},
        {u"\xdcff.mp3 \xd800", "\xef\xbf\xbd.mp3 \xef\xbf\xbd", "\"\\ufffd.mp3 \\ufffd\""},
    };
    XmlElement root("L");
    std::string parsed = "0 L \n";
    for (const auto& c : cases) {
        std::string out;
        AppendXmlEscaped(c.value, out);
        EXPECT_EQ(out, c.written);
        root.AddChild("F").AddAttribute(XmlAttribute::String("v", c.value));
        parsed += "1 F v=" + c.parsed + "\n";
    }
    // Every 8-bit character: the controls but tab, line feed and carriage return go.
    std::u16string all;
    for (char16_t c = 1; c < 0x100; ++c) all.push_back(c);
    root.AddChild("F").AddAttribute(XmlAttribute::String("v", all));
    const std::string document = XmlDocument(root);
    EXPECT_EQ(XmllintErrors(document), "");
    EXPECT_EQ(ParseWithPython(document).substr(0, parsed.size()), parsed);
    EXPECT_EQ(Py("import xml.etree.ElementTree as ET\nv = ET.fromstring(sys.stdin.buffer.read())[-1].get('v')\n"
                 "print(v == '\\t\\n\\r' + ''.join(map(chr, range(32, 256))))",
                 document),
              "True");
}

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<MP3List>\n\t<Generator name=\"Quorvane 1.7\" />\n";

class XmlListing : public ::testing::Test {
protected:
    RecordPtr File(const std::string& name, std::u16string artist, std::u16string album = {}, const char* sub = "") {
        fs::create_directories(dir_ / sub);
        RecordPtr record = CraftedRecord(dir_ / sub, name, 185);
        if (!artist.empty()) record->Tag().SetText(kFrameTPE1, artist);
        if (!album.empty()) record->Tag().SetText(kFrameTALB, album);
        return record;
    }
    std::string Document(const std::vector<RecordPtr>& targets, const XmlExportOptions& options) {
        const std::string document = XmlExporter(options).Document(targets);
        EXPECT_EQ(XmllintErrors(document), "");
        return document;
    }
    TempDir dir_;
};

TEST_F(XmlListing, ArtistAndAlbumLevelsGiveTheDocumentedExample) {
    const RecordPtr one = File("1.mp3", u"Art", u"Alb"), two = File("2.mp3", u"Art", u"Alb");
    one->Tag().SetText(kFrameTIT2, u"One");
    XmlExportOptions options;
    options.levels[0] = XmlLevel::Artist;
    options.levels[1] = XmlLevel::Album;
    EXPECT_EQ(Document({one, two}, options),
              kHead + "\t<Artist name=\"Art\">\n\t\t<Album name=\"Alb\">\n"
              "\t\t\t<File filename=\"1.mp3\" bitrate=\"128\" artist=\"Art\" album=\"Alb\" title=\"One\" />\n"
              "\t\t\t<File filename=\"2.mp3\" bitrate=\"128\" artist=\"Art\" album=\"Alb\" />\n"
              "\t\t</Album>\n\t</Artist>\n</MP3List>");
    EXPECT_EQ(Document({two}, XmlExportOptions{}),
              kHead + "\t<File filename=\"2.mp3\" bitrate=\"128\" artist=\"Art\" album=\"Alb\" />\n</MP3List>");
}

// Groups in the order their key first occurs, keys compared exactly; four levels nest,
// and a "List" level ends the nesting whatever follows it.
TEST_F(XmlListing, GroupsAndLevels) {
    const RecordPtr f1 = File("1.mp3", u"b", u"X", "d"), f2 = File("2.mp3", u"B"), f3 = File("3.mp3", u"b");
    f1->Tag().SetText(kFrameTDRC, u"1999");
    XmlExportOptions options;
    options.bitrate = false;
    options.v2 = {};
    options.levels = {XmlLevel::Directory, XmlLevel::Year, XmlLevel::Album, XmlLevel::Artist};
    EXPECT_EQ(Document({f1}, options),
              kHead + "\t<Directory path=\"" + U8(f1->Directory()) + "\">\n\t\t<Year value=\"1999\">\n"
              "\t\t\t<Album name=\"X\">\n\t\t\t\t<Artist name=\"b\">\n\t\t\t\t\t<File filename=\"1.mp3\" />\n"
              "\t\t\t\t</Artist>\n\t\t\t</Album>\n\t\t</Year>\n\t</Directory>\n</MP3List>");
    options.levels = {XmlLevel::Artist, XmlLevel::List, XmlLevel::Album, XmlLevel::Year};
    EXPECT_EQ(Document({f1, f2, f3}, options),
              kHead + "\t<Artist name=\"b\">\n\t\t<File filename=\"1.mp3\" />\n\t\t<File filename=\"3.mp3\" />\n"
              "\t</Artist>\n\t<Artist name=\"B\">\n\t\t<File filename=\"2.mp3\" />\n\t</Artist>\n</MP3List>");
}

// Every value in its order; "Skip field if empty" leaves out empty tag values (an
// ID3v1 track of 0, a genre without a name), never the location or the stream values.
TEST_F(XmlListing, AttributeOrderAndSkipping) {
    const RecordPtr vbr = CraftedRecord(dir_.Path(), "v.mp3", 200, true), bare = File("bare.mp3", {});
    for (const auto& [id, text] : {std::pair{kFrameTPE1, u"A"}, {kFrameTALB, u"B"}, {kFrameTIT2, u"R & R"},
                                   {kFrameTDRC, u"2001"}, {kFrameTRCK, u"3/9"}, {kFrameTCON, u"(17)"}}) {
        vbr->Tag().SetText(id, text);
    }
    for (size_t i : {Id3v1Record::kArtist, Id3v1Record::kAlbum, Id3v1Record::kTitle, Id3v1Record::kYear}) {
        vbr->Tag().V1().SetString(i, u"v" + std::u16string(1, u'0' + i));
    }
    vbr->Tag().V1().SetTrack(255);
    vbr->Tag().V1().SetGenre(125);
    bare->Tag().V1().SetGenre(200);  // beyond the list: no name
    XmlExportOptions options;
    options.location = XmlLocation::FullPath;
    options.duration = options.vbr = true;
    options.v2.fill(true);
    options.v1.fill(true);
    const std::string path = U8(vbr->FullPath()), barePath = U8(bare->FullPath());
    const std::string full = "\t<File path=\"" + path + "\" bitrate=\"96\" vbr=\"true\" duration=\"200\" artist=\"A\" "
                             "album=\"B\" title=\"R &amp; R\" year=\"2001\" track=\"3/9\" genre=\"Rock\" "
                             "artist1=\"v1\" album1=\"v2\" title1=\"v0\" year1=\"v3\" track1=\"255\" "
                             "genre1=\"Dance Hall\" />\n";
    EXPECT_EQ(Document({vbr, bare}, options), kHead + full + "\t<File path=\"" + barePath +
                                                  "\" bitrate=\"128\" vbr=\"false\" duration=\"185\" />\n</MP3List>");
    options.skipIfEmpty = false;
    options.location = XmlLocation::None;
    EXPECT_EQ(Document({bare}, options),
              kHead + "\t<File bitrate=\"128\" vbr=\"false\" duration=\"185\" artist=\"\" album=\"\" "
              "title=\"\" year=\"\" track=\"\" genre=\"\" artist1=\"\" album1=\"\" title1=\"\" year1=\"\" track1=\"0\" "
              "genre1=\"\" />\n</MP3List>");
}

// Whatever tags and names hold, the listing parses and reads back as given (less what
// XML 1.0 cannot carry).
TEST_F(XmlListing, HostileTagsAndNamesStillParse) {
    const RecordPtr record = std::make_shared<Mp3FileRecord>(SharedText(PathFromNative("/m/\xff\"<d>")),
                                                             PathFromNative("a\"&\x01\xfe.mp3"), SharedText(u"/m"));
    record->Tag().SetText(kFrameTPE1, u"\"/><Evil a=\"");
    record->Tag().SetText(kFrameTALB, u"x\ny\rz\tw\x0b\x1b");
    XmlExportOptions options;
    options.levels = {XmlLevel::Directory, XmlLevel::Artist, XmlLevel::Album, XmlLevel::List};
    options.location = XmlLocation::FullPath;
    EXPECT_EQ(ParseWithPython(Document({record}, options)),
              "0 MP3List \n1 Generator name=\"Quorvane 1.7\"\n1 Directory path=\"/m/\\ufffd\\\"<d>\"\n"
              "2 Artist name=\"\\\"/><Evil a=\\\"\"\n3 Album name=\"x\\ny\\rz\\tw\"\n"
              "4 File path=\"/m/\\ufffd\\\"<d>/a\\\"&\\ufffd.mp3\" bitrate=\"0\" artist=\"\\\"/><Evil a=\\\"\" "
              "album=\"x\\ny\\rz\\tw\"\n");
}

using L = XmlLevel;
using Stored = std::array<uint32_t, kXmlLevelCount>;

// "Ar+" is "Artist" enabled, "Li-" "List" disabled.
std::string Show(const XmlLevelControls& levels) {
    std::string out;
    for (const XmlLevelControl& level : levels) {
        out += U8(XmlLevelName(level.selection)).substr(0, 2) + (level.enabled ? "+ " : "- ");
    }
    return out.substr(0, out.size() - 1);
}

TEST(XmlOptions, LevelsRestoredAndChangedOptionsStoredAndReadBack) {
    const std::pair<Stored, const char*> restored[] = {
        {{0, 0, 0, 0}, "Li+ Li- Li- Li-"}, {{1, 2, 0, 0}, "Ar+ Al+ Li+ Li-"}, {{1, 2, 3, 4}, "Ar+ Al+ Ye+ Di+"},
        {{4, 3, 2, 1}, "Di+ Ye+ Al+ Ar+"}, {{1, 0, 3, 4}, "Ar+ Li+ Li- Li-"}, {{1, 2, 3, 0}, "Ar+ Al+ Ye+ Li+"},
        // 5 and more end the restoring, that level left as first shown; the levels after
        // it are cleared up to the next such value.
        {{5, 0, 0, 0}, "Ar+ Li- Li- Li-"}, {{4, 5, 0, 0}, "Di+ Al+ Li- Li-"}, {{2, 1, 6, 3}, "Al+ Ar+ Li+ Li-"},
        {{3, 4, 1, 5}, "Ye+ Di+ Ar+ Li-"}, {{0, 9, 1, 1}, "Li+ Al+ Li+ Li-"}, {{3, 0, 0, 8}, "Ye+ Li+ Li- Li-"},
        {{2, 0, 5, 2}, "Al+ Li+ Li+ Li-"}, {{~0u, ~0u, ~0u, ~0u}, "Ar+ Al+ Li+ Li-"},
    };
    for (const auto& [stored, levels] : restored) {
        EXPECT_EQ(Show(RestoreXmlLevels(stored)), levels) << stored[0] << stored[1] << stored[2] << stored[3];
    }
    const struct {
        Stored from;
        size_t index;
        L selection;
        const char* levels;
    } changes[] = {
        {{1, 2, 0, 0}, 2, L::Year, "Ar+ Al+ Ye+ Li+"},  {{1, 2, 3, 0}, 3, L::Directory, "Ar+ Al+ Ye+ Di+"},
        {{1, 2, 3, 4}, 0, L::List, "Li+ Li- Li- Li-"},  {{1, 2, 3, 4}, 3, L::List, "Ar+ Al+ Ye+ Li+"},
        {{1, 2, 3, 4}, 1, L::Year, "Ar+ Ye+ Ye+ Di+"},  {{1, 2, 0, 0}, 4, L::Artist, "Ar+ Al+ Li+ Li-"},
    };
    for (const auto& c : changes) {
        EXPECT_EQ(Show(ChangeXmlLevel(RestoreXmlLevels(c.from), c.index, c.selection)), c.levels) << c.index;
    }

    // The options kept under "XML/..." in the settings.
    TempDir dir;
    SettingsStore& store = SettingsStore::Instance();
    ASSERT_TRUE(store.OpenAt((dir / "s.ini").string()));
    EXPECT_EQ(ReadXmlExportOptions(store), XmlExportOptions{});  // nothing stored: the defaults

    XmlExportOptions options;
    options.location = XmlLocation::None;
    options.duration = options.vbr = true;
    options.bitrate = options.skipIfEmpty = false;
    options.v2 = {false, true, false, true, false, true};
    options.v1 = {true, false, true, false, true, false};
    options.levels = {L::Year, L::Directory, L::Artist, L::Album};
    WriteXmlExportOptions(options, store);
    EXPECT_EQ(ReadXmlExportOptions(store), options);
    EXPECT_EQ(store.ReadRaw("XML/Structure1")->number, 4u);
    EXPECT_EQ(store.ReadRaw("XML/V1Title"), store.ReadRaw("XML/Mp3Vbr"));  // dwords of 1
    struct stat before {}, after {};
    ::stat((dir / "s.ini").c_str(), &before);
    WriteXmlExportOptions(options, store);  // what is stored already is not written again
    ::stat((dir / "s.ini").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);

    // The location: "FullPath" on wins, else "FileName" (default on), else none.
    const std::tuple<int, int, XmlLocation> locations[] = {
        {-1, -1, XmlLocation::FileName}, {0, 1, XmlLocation::FullPath}, {-1, 1, XmlLocation::FullPath},
        {1, 1, XmlLocation::FullPath},   {0, 0, XmlLocation::None},     {0, -1, XmlLocation::None}};
    for (const auto& [fileName, fullPath, location] : locations) {
        store.DeleteValue("XML/FileName");
        store.DeleteValue("XML/FullPath");
        if (fileName >= 0) store.WriteBool("XML/FileName", fileName);
        if (fullPath >= 0) store.WriteBool("XML/FullPath", fullPath);
        EXPECT_EQ(ReadXmlExportOptions(store).location, location) << fileName << fullPath;
    }
}

}  // namespace
}  // namespace quorvane::test
