// The export commands through the window: the save and folder choosers (answered by a
// recording chooser), the "Export XML" options dialog with its level rules and stored
// options, and the files written (compared byte for byte with the core's documents).
#include <QComboBox>
#include <QPushButton>

#include "export/m3u_exporter.h"
#include "export/pls_exporter.h"
#include "export/xml_export.h"
#include "export/picture_export.h"
#include "ui/xml_export_dialog.h"
#include "window_fixture.h"

namespace quorvane::test {
namespace {

using ui::XmlExportDialog;

std::string ReadText(const std::filesystem::path& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

size_t FileCount(const TempDir& dir) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.Path()), {}));
}

class ExportTest : public WindowTest {
protected:
    void LoadAlbum() {
        MakeFiles({{"d/1.mp3", {}, 2.0, "Rock & Roll", "Band", "First", "1", "1999"},
                   {"d/2.mp3", {}, 1.0, "Two", "Band", "First", "2"},
                   {"d/3.mp3", {}, 1.0, "Three", "band", "Other", "3"}});
        LoadTree(3, "d");
    }
    QString Out(const std::string& name) const { return QString::fromStdString((out_ / name).string()); }
    QString TreeDir() const { return ui::PathToQString(TreePath("d")) + QLatin1Char('/'); }
    bool ExportXml(const QString& path, const std::function<void(XmlExportDialog&)>& answer) {
        chooser_.answers = {path};
        return WithDialog<XmlExportDialog>(ui::Command::ExportXml, answer);
    }
    static void Check(XmlExportDialog& dialog, const char* box) { dialog.findChild<QAbstractButton*>(box)->click(); }
    TempDir out_;
};

TEST_F(ExportTest, PlaylistsAskWhereAndWriteTheCoresDocument) {
    LoadAlbum();
    SelectRows({2, 0});
    const std::vector<RecordPtr> targets = window_->TargetRecords();
    const M3uExporter m3u;
    const PlsExporter pls;
    for (const auto& [command, exporter, type] : {std::tuple<ui::Command, const Exporter*, QString>{
                                                      ui::Command::ExportM3u, &m3u, "M3U"},
                                                  {ui::Command::ExportPls, &pls, "PLS"}}) {
        const QString suffix = type.toLower();
        chooser_.saveRequests.clear();
        chooser_.answers = {QString(), Out("list." + suffix.toStdString())};  // cancelled first
        Trigger(command);
        Trigger(command);
        ASSERT_EQ(chooser_.saveRequests.size(), 2u);
        const ui::SaveFileRequest& request = chooser_.saveRequests.back();
        EXPECT_EQ(request.directory, TreeDir());
        EXPECT_EQ(request.filters, (QStringList{type + " Files (*." + suffix + ")", "All Files (*)"}));
        EXPECT_EQ(request.defaultSuffix, suffix);
        EXPECT_EQ(ReadText(out_ / ("list." + suffix.toStdString())), exporter->Document(targets));
    }
    EXPECT_EQ(FileCount(out_), 2u);
    chooser_.answers = {Out("missing/list.m3u")};  // a folder that cannot take it: one box
    Trigger(ui::Command::ExportM3u);
    ASSERT_EQ(prompts_.Count(), 1u);
    EXPECT_TRUE(prompts_.Prompts().front().text.starts_with(u"Error when opening file \""));
}

// Cancelled options write nothing and store nothing; saved ones are stored and the
// dialog opens with them next time.
TEST_F(ExportTest, XmlOptionsFollowTheLevelRulesAndAreStoredOnSave) {
    LoadAlbum();
    WriteFileBytes(out_ / "old.xml", {'o', 'l', 'd'});
    for (const char* name : {"new.xml", "old.xml"}) {
        ASSERT_TRUE(ExportXml(Out(name), [](XmlExportDialog& dialog) {
            Check(dialog, "v1Artist");
            dialog.CancelButton().click();
        }));
    }
    EXPECT_EQ(ReadText(out_ / "old.xml"), "old");
    EXPECT_EQ(FileCount(out_), 1u);  // no new file, no temporary file left
    EXPECT_FALSE(SettingsStore::Instance().ReadRaw("XML/V1Artist").has_value());
    EXPECT_FALSE(ExportXml(QString(), [](XmlExportDialog&) {}));  // save dialog cancelled: no options

    XmlExportOptions chosen;
    ASSERT_TRUE(ExportXml(Out("list.xml"), [&](XmlExportDialog& dialog) {
        EXPECT_EQ(dialog.Options(), XmlExportOptions{});  // nothing stored: the defaults, a flat list
        EXPECT_EQ(dialog.Levels(), (XmlLevelControls{{{XmlLevel::List, true}, {}, {}, {}}}));
        EXPECT_EQ(chooser_.saveRequests.back().filters, (QStringList{"XML Files (*.xml)", "All Files (*)"}));
        QTest::keyClick(&dialog.LevelBox(0), Qt::Key_Down);  // Artist opens level 2
        QTest::keyClick(&dialog.LevelBox(1), Qt::Key_End);   // Directory opens level 3
        QTest::keyClick(&dialog.LevelBox(2), Qt::Key_Down);
        EXPECT_TRUE(dialog.LevelBox(3).isEnabled());
        QTest::keyClick(&dialog.LevelBox(1), Qt::Key_Home);  // List closes the levels after it
        EXPECT_EQ(dialog.Levels(), (XmlLevelControls{{{XmlLevel::Artist, true}, {XmlLevel::List, true}, {}, {}}}));
        QTest::keyClicks(&dialog.LevelBox(1), QStringLiteral("Al"));  // Album
        for (const char* box : {"v2Year", "v1Track", "duration", "fullPath"}) Check(dialog, box);
        chosen = dialog.Options();
        dialog.SaveButton().click();
    }));
    EXPECT_EQ(chosen.levels, (std::array{XmlLevel::Artist, XmlLevel::Album, XmlLevel::List, XmlLevel::List}));
    EXPECT_TRUE(chosen.location == XmlLocation::FullPath && chosen.v2[kXmlYear] && chosen.v1[kXmlTrack] &&
                chosen.duration);
    EXPECT_EQ(ReadXmlExportOptions(SettingsStore::Instance()), chosen);
    EXPECT_EQ(ReadText(out_ / "list.xml"), XmlExporter(chosen).Document(window_->TargetRecords()));

    ASSERT_TRUE(ExportXml(Out("again.xml"), [&](XmlExportDialog& dialog) {
        EXPECT_EQ(dialog.Options(), chosen);
        EXPECT_EQ(dialog.Levels(), (XmlLevelControls{{{XmlLevel::Artist, true}, {XmlLevel::Album, true},
                                                      {XmlLevel::List, true}, {XmlLevel::List, false}}}));
        QTest::keyClick(&dialog.SaveButton(), Qt::Key_Escape);
    }));
    EXPECT_EQ(prompts_.Count(), 0u);
}

// Which message tells that no pictures are there is the core's; the window asks for no
// folder then.
TEST_F(ExportTest, PicturesGoToTheChosenFolderAndTheirAbsenceIsToldFirst) {
    MakeFiles({{"d/bare.mp3"}, {"d/pic.mp3"}});
    const std::string jpeg = "\xFF\xD8\xFF\xE0 picture bytes";
    const CommandResult tagged = RunPython(R"(
import os, sys
from mutagen.id3 import ID3, APIC
tag = ID3(sys.argv[1])
tag.add(APIC(encoding=3, mime='image/jpeg', type=3, desc='', data=os.fsencode(sys.argv[2])))
tag.save()
)", {(tree_ / "d/pic.mp3").string(), jpeg});
    ASSERT_EQ(tagged.status, 0) << tagged.err;
    LoadTree(2, "d");
    SelectRows({RowOfFile(QStringLiteral("bare.mp3"))});
    Trigger(ui::Command::ExportPictures);
    EXPECT_EQ(CountPrompts("error", kNoImagesInFile), 1u);
    EXPECT_TRUE(chooser_.directoryRequests.empty());

    SelectRows({RowOfFile(QStringLiteral("pic.mp3"))});
    chooser_.answers = {QString(), QString::fromStdString(out_.Path().string())};  // cancelled first
    Trigger(ui::Command::ExportPictures);
    Trigger(ui::Command::ExportPictures);
    ASSERT_EQ(chooser_.directoryRequests.size(), 2u);
    EXPECT_EQ(chooser_.directoryRequests.back(), std::make_pair(QStringLiteral("Select a directory"), TreeDir()));
    EXPECT_EQ(ReadText(out_ / "pic.mp3 - Cover (front).jpg"), jpeg);
    EXPECT_EQ(FileCount(out_), 1u);
    EXPECT_EQ(prompts_.Count(), 1u);
}

}  // namespace
}  // namespace quorvane::test
