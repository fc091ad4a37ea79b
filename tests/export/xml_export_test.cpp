// The XML listing: the documented example byte for byte, grouping, attribute order and
// skipping of empty values; every document through xmllint.
#include <gtest/gtest.h>

#include "export/xml_export.h"
#include "export_test_support.h"

namespace quorvane::test {
namespace {

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

}  // namespace
}  // namespace quorvane::test
