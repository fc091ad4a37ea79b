// picture add, list, delete and delete-all on lame files with real images made by
// ImageMagick, checked by mutagen and hashlib.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

class CliPictures : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(album_);
        MakeMp3(album_ / "01.mp3", {"-b", "64"}, 0.5);
        Tag(album_ / "01.mp3", 3, {"TIT2=First", "APIC=5000"});  // a front cover that is no real JPEG
        MakeMp3(album_ / "02.mp3", {"-b", "64"}, 0.5);
        Convert({"-size", "40x30", "gradient:red-blue"}, front_);
        Convert({"-size", "20x10", "xc:#336699"}, back_);
    }
    static void Convert(std::vector<std::string> args, const fs::path& out) {
        args.insert(args.begin(), "convert");
        args.push_back(out.string());
        const CommandResult r = RunCommand(args);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    CommandResult Run(const std::vector<std::string>& args) { return Cli(dir_ / "s.ini", args); }
    // Mutagen's pictures of a file: "type mime 'description' sha256-prefix size", in tag order.
    static std::string Pictures(const fs::path& path) {
        return Py(R"(from mutagen.id3 import ID3
try:
    t = ID3(sys.argv[1])
except Exception:
    print('no tag'); sys.exit()
print(' | '.join('%d %s %r %s %d' % (p.type, p.mime, p.desc, hashlib.sha256(p.data).hexdigest()[:12], len(p.data))
                 for p in t.getall('APIC')) + ' TIT2=' + str(t.get('TIT2')))
)",
                  "", {path.string()});
    }
    static std::string Sha(const fs::path& path) {
        return Py("print(hashlib.sha256(open(sys.argv[1], 'rb').read()).hexdigest())", "", {path.string()});
    }
    TempDir dir_;
    fs::path album_ = dir_ / "album";
    fs::path front_ = dir_ / "front.png";
    fs::path back_ = dir_ / "Back.JPEG";
};

TEST_F(CliPictures, AddListDeleteAndDeleteAll) {
    const std::string frontSha = Sha(front_), backSha = Sha(back_);
    const auto frontSize = std::to_string(fs::file_size(front_)), backSize = std::to_string(fs::file_size(back_));
    CommandResult r = Run({"picture", "add", "--file", front_.string(), "--type", "3", "--description", "Front",
                           album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    // The old cover is replaced, not joined by a second one; the other frames stay.
    EXPECT_EQ(Pictures(album_ / "01.mp3"), "3 image/png 'Front' " + frontSha.substr(0, 12) + " " + frontSize + " TIT2=First");
    EXPECT_EQ(Pictures(album_ / "02.mp3"), "3 image/png 'Front' " + frontSha.substr(0, 12) + " " + frontSize + " TIT2=None");

    r = Run({"picture", "add", "--file", back_.string(), "--type", "4", album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(Pictures(album_ / "02.mp3").find(" | 4 image/jpg '' " + backSha.substr(0, 12) + " " + backSize),
              std::string::npos);

    r = Run({"picture", "list", "--json", album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Py(R"(from mutagen.id3 import ID3
for row in json.load(sys.stdin):
    data = [p.data for p in ID3(row['path']).getall('APIC') if p.type == row['type']][0]
    assert row['sha256'] == hashlib.sha256(data).hexdigest() and row['size'] == len(data), row
    print(os.path.basename(row['path']), row['type'], row['typeName'], row['mime'], row['description'], row['width'], row['height']))",
                 r.out),
              "01.mp3 3 Cover (front) image/png Front 40 30\n01.mp3 4 Cover (back) image/jpg  20 10\n"
              "02.mp3 3 Cover (front) image/png Front 40 30\n02.mp3 4 Cover (back) image/jpg  20 10");
    const std::string table = Run({"picture", "list", (album_ / "02.mp3").string()}).out;
    EXPECT_EQ(table.substr(0, table.find('\n')), "Path\tType\tType name\tMIME\tDescription\tSize\tSHA-256\tWidth x height");
    EXPECT_NE(table.find("\t3\tCover (front)\timage/png\tFront\t" + frontSize + "\t" + frontSha + "\t40x30\n"),
              std::string::npos) << table;
    const auto before = ReadFileBytes(album_ / "01.mp3");
    r = Run({"picture", "delete", "--type", "3", "--dry-run", (album_ / "01.mp3").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (album_ / "01.mp3").string() + ": delete picture 3 \"Cover (front)\"\n" +
                         (album_ / "01.mp3").string() + ": write ID3v2\n");
    EXPECT_EQ(ReadFileBytes(album_ / "01.mp3"), before);

    ASSERT_EQ(Run({"picture", "delete", "--type", "3", album_.string()}).status, 0);
    EXPECT_EQ(Pictures(album_ / "01.mp3"), "4 image/jpg '' " + backSha.substr(0, 12) + " " + backSize + " TIT2=First");
    ASSERT_EQ(Run({"picture", "delete-all", album_.string()}).status, 0);
    EXPECT_EQ(Pictures(album_ / "01.mp3"), " TIT2=First");
    EXPECT_EQ(Pictures(album_ / "02.mp3"), " TIT2=None");
    EXPECT_EQ(Run({"picture", "list", "--json", album_.string()}).out, "[]\n");
}

TEST_F(CliPictures, RefusalsLeaveTheFilesAlone) {
    const auto before = ReadFileBytes(album_ / "01.mp3");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"picture", "add", "--file", front_.string(), "--type", "21"},
          {"picture", "add", "--file", front_.string(), "--type", "x"},
          {"picture", "add", "--file", front_.string(), "--type", "3", "--description", std::string(65, 'd')},
          {"picture", "add", "--type", "3"},
          {"picture", "delete"},
          {"picture"}}) {
        std::vector<std::string> withPath = args;
        withPath.push_back(album_.string());
        const CommandResult r = Run(withPath);
        EXPECT_EQ(r.status, 2) << args.back() << "\n" << r.err;
    }
    const CommandResult longest = Run({"picture", "add", "--file", front_.string(), "--type", "0", "--description",
                                       std::string(64, 'd'), "--dry-run", album_.string()});
    EXPECT_EQ(longest.status, 0) << longest.err;

    WriteFileBytes(dir_ / "a.gif", ReadFileBytes(front_));
    CommandResult r = Run({"picture", "add", "--file", (dir_ / "a.gif").string(), "--type", "3", album_.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("File must be a JPG or PNG image!"), std::string::npos) << r.err;

    // One byte over 2 MB: a JPEG with data after its end, which decoders ignore.
    auto big = ReadFileBytes(back_);
    big.resize(2097153, 0);
    WriteFileBytes(dir_ / "big.jpg", big);
    r = Run({"picture", "add", "--file", (dir_ / "big.jpg").string(), "--type", "3", album_.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Image size is greater than 2 MB."), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(album_ / "01.mp3"), before);

    r = Run({"picture", "add", "--file", (dir_ / "big.jpg").string(), "--type", "3", "--yes", album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Pictures(album_ / "02.mp3").substr(0, 13), "3 image/jpg '");
    EXPECT_NE(Pictures(album_ / "02.mp3").find(" 2097153 TIT2"), std::string::npos);
    // The description found is kept when none is given.
    EXPECT_EQ(Pictures(album_ / "01.mp3").substr(0, 20), "3 image/jpg 'cover' ");
    r = Run({"picture", "list", (album_ / "02.mp3").string()});
    EXPECT_NE(r.out.find("\t2097153\t"), std::string::npos);
    EXPECT_NE(r.out.find("\t20x10\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace quorvane::test
