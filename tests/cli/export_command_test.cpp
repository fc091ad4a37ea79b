// Pictures and exports on lame files tagged by mutagen: picture add, list, delete and
// delete-all with real images made by ImageMagick; export m3u|pls|xml|pictures: the files
// named in their order, the stored XML options, --dry-run, the exit status of each
// failure. Checked by mutagen, hashlib and Python's xml.etree.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

class CliPictures : public CliTest {
protected:
    void SetUp() override {
        Mp3("album/01.mp3", {"TIT2=First", "APIC=5000"}, 3);  // a front cover that is no real JPEG
        Mp3("album/02.mp3");
        ASSERT_EQ(RunCommand({"convert", "-size", "40x30", "gradient:red-blue", front_.string()}).status, 0);
        ASSERT_EQ(RunCommand({"convert", "-size", "20x10", "xc:#336699", back_.string()}).status, 0);
    }
    // Mutagen's pictures of a file: "type mime 'description' sha256-prefix size", in tag order.
    static std::string Pictures(const fs::path& path) {
        return Py(R"(from mutagen.id3 import ID3
t = ID3(sys.argv[1])
print(' | '.join('%d %s %r %s %d' % (p.type, p.mime, p.desc, hashlib.sha256(p.data).hexdigest()[:12], len(p.data))
                 for p in t.getall('APIC')) + ' TIT2=' + str(t.get('TIT2'))))",
                  "", {path.string()});
    }
    static std::string Sha(const fs::path& path) {
        return Py("print(hashlib.sha256(open(sys.argv[1], 'rb').read()).hexdigest())", "", {path.string()});
    }
    fs::path album_ = dir_ / "album", one_ = album_ / "01.mp3", two_ = album_ / "02.mp3";
    fs::path front_ = dir_ / "front.png", back_ = dir_ / "Back.JPEG";
};

TEST_F(CliPictures, AddListDeleteAndTheQuestionAboveTwoMegabytes) {
    const std::string frontSha = Sha(front_), backSha = Sha(back_);
    const auto frontSize = std::to_string(fs::file_size(front_)), backSize = std::to_string(fs::file_size(back_));
    const std::string front = "3 image/png 'Front' " + frontSha.substr(0, 12) + " " + frontSize;
    const std::string back = "4 image/jpg '' " + backSha.substr(0, 12) + " " + backSize;
    ASSERT_EQ(Run({"picture", "add", "--file", front_.string(), "--type", "3", "--description", "Front",
                   album_.string()}).status, 0);
    ASSERT_EQ(Run({"picture", "add", "--file", back_.string(), "--type", "4", album_.string()}).status, 0);
    EXPECT_EQ(Pictures(one_), front + " | " + back + " TIT2=First");  // the old cover replaced
    EXPECT_EQ(Pictures(two_), front + " | " + back + " TIT2=None");

    EXPECT_EQ(Py("for r in json.load(sys.stdin): print(os.path.basename(r['path']), r['type'], r['typeName'], "
                 "r['mime'], r['description'], r['size'], r['sha256'], r['width'], r['height'])",
                 Run({"picture", "list", "--json", two_.string()}).out),
              "02.mp3 3 Cover (front) image/png Front " + frontSize + " " + frontSha + " 40 30\n" +
                  "02.mp3 4 Cover (back) image/jpg  " + backSize + " " + backSha + " 20 10");
    EXPECT_EQ(Run({"picture", "list", two_.string()}).out,
              "Path\tType\tType name\tMIME\tDescription\tSize\tSHA-256\tWidth x height\n" + two_.string() +
                  "\t3\tCover (front)\timage/png\tFront\t" + frontSize + "\t" + frontSha + "\t40x30\n" + two_.string() +
                  "\t4\tCover (back)\timage/jpg\t\t" + backSize + "\t" + backSha + "\t20x10\n");

    const auto before = ReadFileBytes(one_);
    CommandResult r = Run({"picture", "delete", "--type", "3", "--dry-run", one_.string()});
    EXPECT_EQ(r.out, one_.string() + ": delete picture 3 \"Cover (front)\"\n" + one_.string() + ": write ID3v2\n");
    r = Run({"picture", "delete-all", "--dry-run", one_.string()});
    EXPECT_TRUE(r.out.starts_with(one_.string() + ": delete 2 picture(s)\n")) << r.out;
    EXPECT_EQ(ReadFileBytes(one_), before);
    ASSERT_EQ(Run({"picture", "delete", "--type", "3", album_.string()}).status, 0);
    EXPECT_EQ(Pictures(one_), back + " TIT2=First");
    ASSERT_EQ(Run({"picture", "delete-all", album_.string()}).status, 0);
    EXPECT_EQ(Pictures(one_) + "|" + Pictures(two_), " TIT2=First| TIT2=None");
    EXPECT_EQ(Run({"picture", "list", "--json", album_.string()}).out, "[]\n");

    // A description of 64 characters is taken (65 is a usage error); an image over 2 MB is
    // refused with status 1 and no file changes, unless --yes answers the question.
    r = Run({"picture", "add", "--file", front_.string(), "--type", "0", "--description", std::string(64, 'd'),
             "--dry-run", album_.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with(one_.string() + ": add picture 0 \"Other\", image/png, ")) << r.out;
    // One byte over 2 MB: a JPEG with data after its end, which decoders ignore.
    auto big = ReadFileBytes(back_);
    big.resize(2097153, 0);
    WriteFileBytes(dir_ / "big.jpg", big);
    const auto cleared = ReadFileBytes(one_);
    r = Run({"picture", "add", "--file", (dir_ / "big.jpg").string(), "--type", "3", album_.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Image size is greater than 2 MB."), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(one_), cleared);
    r = Run({"picture", "add", "--file", (dir_ / "big.jpg").string(), "--type", "3", "--yes", album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Pictures(two_), "3 image/jpg '' " + Sha(dir_ / "big.jpg").substr(0, 12) + " 2097153 TIT2=None");
}

class CliExport : public CliTest {
protected:
    void SetUp() override {
        Mp3("music/01.mp3", {"TIT2=One", "TPE1=Band", "TALB=Live", "APIC=3000"});
        Mp3("music/sub/\xe6\x9b\xb2.mp3", {"TIT2=\xe6\x9b\xb2 & \"more\"", "TPE1=Band", "TALB=Studio"}, 3);
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
    EXPECT_TRUE(Text(out_).starts_with("[playlist]\nFile1=01.mp3\nTitle1=One\nLength1=" + s + "\n")) << Text(out_);
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
    EXPECT_EQ(walk(), "0 MP3List []\n1 Generator [('name', 'Quorvane 1.7')]\n1 Album [('name', 'Studio')]\n"
                      "2 Directory [('path', '" + (music_ / "sub").string() + "')]\n3 File [('path', '" +
                      path + "'), ('vbr', 'false'), ('album', 'Studio'), "
                      "('title', '\xe6\x9b\xb2 & \"more\"'), ('track1', '0')]");
    // Stored as the dialog stores them (reading them back is the first export's part).
    EXPECT_EQ(Run({"config", "get", "XML/Structure1"}).out + Run({"config", "get", "XML/FullPath"}).out, "4\n1\n");
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

    // Exit status 1 with the message for each failure.
    const std::string none = (dir_ / "none").string();
    const std::pair<std::vector<std::string>, std::string> failures[] = {
        {{"export", "pictures", "--dir", none, second_.string()}, "The selected file does not contain any images."},
        {{"export", "pictures", "--dir", none, music_.string()}, "Error when opening file \"" + none + "\":"},
        {{"export", "m3u", "--out", none + "/a", music_.string()}, "Error when opening file \"" + none + "/a\":"},
        {{"export", "xml", "--out", none + "/a", music_.string()}, "Error when opening file \"" + none + "/a\":"}};
    for (const auto& [args, message] : failures) EXPECT_EQ(Outcome(args).substr(0, message.size() + 2), "1 " + message);
}

}  // namespace
}  // namespace quorvane::test
