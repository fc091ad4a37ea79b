// The "Export XML" options: the restore rule of the four structure levels, the rule
// when one changes, and the options kept under "XML/..." in the settings.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "export/xml_export_options.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane::test {
namespace {

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

TEST(XmlLevels, RestoreAndChange) {
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
}

TEST(XmlOptions, StoredAndReadBack) {
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
