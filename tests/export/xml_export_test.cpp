// The XML listing: the writer's layout and escaping (every value parses back as given),
// the documented example byte for byte, grouping, attribute order and skipping of empty
// values, every document through xmllint; the options' structure levels and settings.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "export/xml_export.h"
#include "export/xml_export_options.h"
#include "export/xml_writer.h"
#include "export_test_support.h"
#include "platform/settings_store.h"

namespace quorvane::test {
namespace {

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
