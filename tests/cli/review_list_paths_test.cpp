// list --json and show --json name files so that a script can find them again, even
// when a name is not valid UTF-8.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (const unsigned char c : bytes) {
        char h[3];
        std::snprintf(h, sizeof h, "%02x", c);
        hex += h;
    }
    return hex;
}

TEST(ReviewCliPaths, ListAndShowJsonKeepNamesThatAreNotUtf8) {
    test::TempDir root;
    const fs::path dir = root / "disc \xfe";
    fs::create_directories(dir);
    const fs::path file = dir / "lone \xff.mp3";
    test::MakeMp3(file, {"-b", "128"});
    const std::string settings = (root / "settings.ini").string();

    const std::string check =
        "import sys, json, os\n"
        "rows = json.loads(sys.stdin.buffer.read().decode('utf-8', 'strict'))\n"
        "for r in rows:\n"
        "    print(' '.join(os.fsencode(r[k]).hex() for k in sys.argv[1:]))\n";

    const CommandResult list = test::RunCommand({test::CliPath(), "list", "--json", "--settings", settings,
                                                 dir.string()});
    ASSERT_EQ(list.status, 0) << list.err;
    const CommandResult listed =
        test::RunCommand({test::PythonPath(), "-c", check, "path", "directory", "filename"}, list.out);
    ASSERT_EQ(listed.status, 0) << listed.err << list.out;
    EXPECT_EQ(listed.out, Hex(file.string()) + " " + Hex(dir.string()) + " " + Hex("lone \xff.mp3") + "\n");

    const CommandResult show = test::RunCommand({test::CliPath(), "show", "--json", "--settings", settings,
                                                 file.string()});
    ASSERT_EQ(show.status, 0) << show.err;
    const CommandResult shown = test::RunCommand({test::PythonPath(), "-c", check, "path"}, show.out);
    ASSERT_EQ(shown.status, 0) << shown.err << show.out;
    EXPECT_EQ(shown.out, Hex(file.string()) + "\n");
}

}  // namespace
}  // namespace quorvane
