// export m3u|pls|xml|pictures on lame files tagged by mutagen: the files named in their
// order, the stored XML options, --dry-run, and the exit status of each failure; listings
// parsed by Python's xml.etree, pictures compared with what mutagen reads.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

class CliExport : public CliTest {
protected:
    void SetUp() override {
        fs::create_directories(music_ / "sub");
        MakeMp3(music_ / "01.mp3", {"-b", "128"}, 2.0);
        Tag(music_ / "01.mp3", 4, {"TIT2=One", "TPE1=Band", "TALB=Live", "APIC=3000"});
        MakeMp3(second_, {"-b", "128"}, 2.0);
        Tag(second_, 3, {"TIT2=\xe6\x9b\xb2 & \"more\"", "TPE1=Band", "TALB=Studio"});
    }
    fs::path music_ = dir_ / "music", second_ = music_ / "sub" / "\xe6\x9b\xb2.mp3", out_ = dir_ / "a.m3u";
};

TEST_F(CliExport, PlaylistsInTargetOrder) {
    const std::string s =
        Py("print(json.load(sys.stdin)[0]['duration'])", Run({"info", "--json", second_.string()}).out);
    // Titles in the code page, names as their bytes on disk, a file named twice once.
    ASSERT_EQ(Run({"export", "m3u", "--out", out_.string(), second_.string(), music_.string()}).status, 0);
    EXPECT_EQ(Text(out_), "#EXTM3U\n#EXTINF:" + s + ",Band - ? & \"more\"\n\xe6\x9b\xb2.mp3\n#EXTINF:" + s +
                              ",Band - One\n01.mp3\n");
    ASSERT_EQ(Run({"export", "pls", "--out", out_.string(), music_.string()}).status, 0);
    EXPECT_EQ(Text(out_), "[playlist]\nFile1=01.mp3\nTitle1=One\nLength1=" + s + "\nFile2=\xe6\x9b\xb2.mp3\n"
                          "Title2=? & \"more\"\nLength2=" + s + "\nNumberOfEntries=2\nVersion=2");
    const CommandResult dry = Run({"--dry-run", "export", "m3u", "--out", (dir_ / "d.m3u").string(), second_.string()});
    EXPECT_EQ(dry.out, "#EXTM3U\n#EXTINF:" + s + ",Band - ? & \"more\"\n\xe6\x9b\xb2.mp3\n");
    EXPECT_FALSE(fs::exists(dir_ / "d.m3u"));
}

// Options not given come from the stored "XML" settings; --store-options stores the ones
// used, as the dialog's Save does.
TEST_F(CliExport, XmlListingWithLevelsAndStoredOptions) {
    const std::string xml = (dir_ / "l.xml").string(), path = second_.string();
    ASSERT_EQ(Run({"config", "set", "XML/Structure0", "1"}).status, 0);
    ASSERT_EQ(Run({"config", "set", "XML/Mp3Bitrate", "0"}).status, 0);
    const std::string settings = Text(dir_ / "s.ini");
    const auto walk = [&xml] {
        return Py(R"(import xml.etree.ElementTree as ET
def walk(e, d):
    print(d, e.tag, list(e.attrib.items()))
    for c in e: walk(c, d + 1)
walk(ET.parse(sys.argv[1]).getroot(), 0))", "", {xml});
    };
    ASSERT_EQ(Run({"export", "xml", "--out", xml, "--no-v2-album", "--no-v2-title", music_.string()}).status, 0);
    EXPECT_EQ(walk(), "0 MP3List []\n1 Generator [('name', 'Quorvane 1.7')]\n1 Artist [('name', 'Band')]\n"
                      "2 File [('filename', '01.mp3'), ('artist', 'Band')]\n"
                      "2 File [('filename', '\xe6\x9b\xb2.mp3'), ('artist', 'Band')]");
    EXPECT_EQ(Text(dir_ / "s.ini"), settings);  // nothing stored without --store-options

    ASSERT_EQ(Run({"export", "xml", "--out", xml, "--level", "album", "--level", "Directory", "--full-path", "--vbr",
                   "--v1-track", "--keep-empty", "--no-v2-artist", "--store-options", path})
                  .status,
              0);
    const std::string expected = "0 MP3List []\n1 Generator [('name', 'Quorvane 1.7')]\n1 Album [('name', 'Studio')]\n"
                                 "2 Directory [('path', '" + (music_ / "sub").string() + "')]\n3 File [('path', '" +
                                 path + "'), ('vbr', 'false'), ('album', 'Studio'), "
                                 "('title', '\xe6\x9b\xb2 & \"more\"'), ('track1', '0')]";
    EXPECT_EQ(walk(), expected);
    // Stored as the dialog stores them, and used by the next export.
    EXPECT_EQ(Run({"config", "get", "XML/Structure1"}).out + Run({"config", "get", "XML/FullPath"}).out, "4\n1\n");
    ASSERT_EQ(Run({"export", "xml", "--out", xml, path}).status, 0);
    EXPECT_EQ(walk(), expected);
}

TEST_F(CliExport, PicturesAndFailures) {
    CommandResult r = Run({"export", "pictures", "--dir", dir_.Path().string(), music_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path picture = dir_ / "01.mp3 - Cover (front).jpg";
    EXPECT_EQ(r.out, picture.string() + "\n");
    EXPECT_EQ(Py("from mutagen.id3 import ID3\n"
                 "print(open(sys.argv[2], 'rb').read() == ID3(sys.argv[1]).getall('APIC')[0].data)",
                 "", {(music_ / "01.mp3").string(), picture.string()}),
              "True");
    r = Run({"export", "pictures", "--dir", dir_.Path().string(), music_.string()});
    EXPECT_EQ(r.out, (dir_ / "01.mp3 - Cover (front) (2).jpg").string() + "\n");

    // Exit status 1 with the message for each failure.
    const std::string none = (dir_ / "none").string();
    const std::pair<std::vector<std::string>, std::string> failures[] = {
        {{"export", "pictures", "--dir", none, second_.string()}, "The selected file does not contain any images."},
        {{"export", "pictures", "--dir", none, music_.string()}, "Error when opening file \"" + none + "\":"},
        {{"export", "m3u", "--out", none + "/a", music_.string()}, "Error when opening file \"" + none + "/a\":"},
        {{"export", "xml", "--out", none + "/a", music_.string()}, "Error when opening file \"" + none + "/a\":"}};
    for (const auto& [args, message] : failures) {
        r = Run(args);
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace quorvane::test
