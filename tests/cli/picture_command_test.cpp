// picture add, list, delete and delete-all on lame files with real images made by
// ImageMagick, checked by mutagen and hashlib.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

class CliPictures : public CliTest {
protected:
    void SetUp() override {
        Mp3("album/01.mp3");
        Tag(one_, 3, {"TIT2=First", "APIC=5000"});  // a front cover that is no real JPEG
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

TEST_F(CliPictures, AddListDeleteAndDeleteAll) {
    const std::string frontSha = Sha(front_), backSha = Sha(back_);
    const auto frontSize = std::to_string(fs::file_size(front_)), backSize = std::to_string(fs::file_size(back_));
    const std::string front = "3 image/png 'Front' " + frontSha.substr(0, 12) + " " + frontSize;
    const std::string back = "4 image/jpg '' " + backSha.substr(0, 12) + " " + backSize;
    ASSERT_EQ(Run({"picture", "add", "--file", front_.string(), "--type", "3", "--description", "Front",
                   album_.string()}).status, 0);
    ASSERT_EQ(Run({"picture", "add", "--file", back_.string(), "--type", "4", album_.string()}).status, 0);
    EXPECT_EQ(Pictures(one_), front + " | " + back + " TIT2=First");  // the old cover replaced
    EXPECT_EQ(Pictures(two_), front + " | " + back + " TIT2=None");

    CommandResult r = Run({"picture", "list", "--json", album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Py(R"(from mutagen.id3 import ID3
for row in json.load(sys.stdin):
    data = [p.data for p in ID3(row['path']).getall('APIC') if p.type == row['type']][0]
    assert row['sha256'] == hashlib.sha256(data).hexdigest() and row['size'] == len(data), row
    print(os.path.basename(row['path']), row['type'], row['typeName'], row['mime'], row['description'], row['width'], row['height']))",
                 r.out),
              "01.mp3 3 Cover (front) image/png Front 40 30\n01.mp3 4 Cover (back) image/jpg  20 10\n"
              "02.mp3 3 Cover (front) image/png Front 40 30\n02.mp3 4 Cover (back) image/jpg  20 10");
    const std::string table = Run({"picture", "list", two_.string()}).out;
    EXPECT_EQ(table, "Path\tType\tType name\tMIME\tDescription\tSize\tSHA-256\tWidth x height\n" + two_.string() +
                         "\t3\tCover (front)\timage/png\tFront\t" + frontSize + "\t" + frontSha + "\t40x30\n" +
                         two_.string() + "\t4\tCover (back)\timage/jpg\t\t" + backSize + "\t" + backSha + "\t20x10\n");

    const auto before = ReadFileBytes(one_);
    r = Run({"picture", "delete", "--type", "3", "--dry-run", one_.string()});
    EXPECT_EQ(r.out, one_.string() + ": delete picture 3 \"Cover (front)\"\n" + one_.string() + ": write ID3v2\n");
    r = Run({"picture", "delete-all", "--dry-run", one_.string()});
    EXPECT_TRUE(r.out.starts_with(one_.string() + ": delete 2 picture(s)\n")) << r.out;
    EXPECT_EQ(ReadFileBytes(one_), before);
    ASSERT_EQ(Run({"picture", "delete", "--type", "3", album_.string()}).status, 0);
    EXPECT_EQ(Pictures(one_), back + " TIT2=First");
    ASSERT_EQ(Run({"picture", "delete-all", album_.string()}).status, 0);
    EXPECT_EQ(Pictures(one_) + "|" + Pictures(two_), " TIT2=First| TIT2=None");
    EXPECT_EQ(Run({"picture", "list", "--json", album_.string()}).out, "[]\n");
}

// A description of 64 characters is taken (65 is a usage error); an image over 2 MB is
// refused with status 1 and no file changes, unless --yes answers the question.
TEST_F(CliPictures, RefusalsAndTheQuestionAboveTwoMegabytes) {
    const auto before = ReadFileBytes(one_);
    CommandResult r = Run({"picture", "add", "--file", front_.string(), "--type", "0", "--description",
                           std::string(64, 'd'), "--dry-run", album_.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with(one_.string() + ": add picture 0 \"Other\", image/png, ")) << r.out;

    // One byte over 2 MB: a JPEG with data after its end, which decoders ignore.
    auto big = ReadFileBytes(back_);
    big.resize(2097153, 0);
    WriteFileBytes(dir_ / "big.jpg", big);
    r = Run({"picture", "add", "--file", (dir_ / "big.jpg").string(), "--type", "3", album_.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Image size is greater than 2 MB."), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(one_), before);

    r = Run({"picture", "add", "--file", (dir_ / "big.jpg").string(), "--type", "3", "--yes", album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Pictures(two_), "3 image/jpg '' " + Sha(dir_ / "big.jpg").substr(0, 12) + " 2097153 TIT2=None");
}

}  // namespace
}  // namespace quorvane::test
