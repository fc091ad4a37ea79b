// The export procedure after the save dialog: the document on disk, one message per
// failure in the program's words, and never half a playlist.
#include <gtest/gtest.h>

#include "export/export_file.h"
#include "export/m3u_exporter.h"
#include "export/pls_exporter.h"
#include "export/xml_export.h"
#include "export_test_support.h"

namespace quorvane::test {
namespace {

TEST(ExportFile, WrittenWholeOrNotAtAll) {
    TempDir dir;
    RecordingPrompts prompts;
    const fs::path list = dir / "list.m3u";
    std::vector<RecordPtr> targets = {CraftedRecord(dir.Path(), "a.mp3", 185)};
    const auto message = [&](const char* prefix, const fs::path& path, const char* reason) {
        return U16(std::string(prefix) + " \"" + path.string() + "\":\n" + reason);
    };
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
    EXPECT_EQ(shown[0].text, message("Error when writing to file", list, "File too large"));
    EXPECT_EQ(shown[1].text, message("Error when writing to file", list, "Invalid cross-device link"));
    EXPECT_EQ(shown[2].text, message("Error when opening file", dir / "no" / "x", "No such file or directory"));
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

}  // namespace
}  // namespace quorvane::test
