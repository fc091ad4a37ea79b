// The export commands through the window: the save and folder choosers (answered by a
// recording chooser), the "Export XML" options dialog with its level rules and stored
// options, and the files written, compared byte for byte with the core's documents.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <filesystem>

#include "export/m3u_exporter.h"
#include "export/picture_export.h"
#include "export/pls_exporter.h"
#include "export/xml_export.h"
#include "library/edit_gate.h"
#include "tags/frame_id.h"
#include "dialog_fixture.h"
#include "ui/generate_dialog.h"
#include "ui/rename_dialog.h"
#include "ui/xml_export_dialog.h"

namespace quorvane::test {
namespace {

using ui::XmlExportDialog;

constexpr std::u16string_view kExportWhileSaving = u"Exporting is disabled when saving is in progress.";

std::string ReadText(const std::filesystem::path& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class ExportTest : public DialogTest {
protected:
    void LoadAlbum() {
        MakeFiles({
            {"d/1.mp3", {}, 2.0, "Rock & Roll", "Band", "First", "1", "1999"},
            {"d/2.mp3", {}, 1.0, "Two", "Band", "First", "2"},
            {"d/3.mp3", {}, 1.0, "Three", "band", "Other", "3"},
        });
        LoadTree(3, "d");
    }
    QString OutPath(const std::string& name) const { return QString::fromStdString((out_ / name).string()); }
    bool ExportXml(const std::function<void(XmlExportDialog&)>& answer) {
        return WithDialog<XmlExportDialog>([&] { Trigger(ui::Command::ExportXml); }, answer);
    }
    TempDir out_;
};

TEST_F(ExportTest, PlaylistsAskWhereAndWriteTheCoresDocument) {
    LoadAlbum();
    struct Case {
        ui::Command command;
        std::unique_ptr<Exporter> exporter;
        QStringList filters;
        QString suffix;
    };
    Case cases[] = {
        {ui::Command::ExportM3u, std::make_unique<M3uExporter>(), {"M3U Files (*.m3u)", "All Files (*)"}, "m3u"},
        {ui::Command::ExportPls, std::make_unique<PlsExporter>(), {"PLS Files (*.pls)", "All Files (*)"}, "pls"},
    };
    SelectRows({2, 0});
    const std::vector<RecordPtr> targets = window_->TargetRecords();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.suffix.toStdString());
        chooser_.saveRequests.clear();
        chooser_.answers = {QString()};  // cancelled: nothing written
        Trigger(c.command);
        chooser_.answers = {OutPath("list." + c.suffix.toStdString())};
        Trigger(c.command);
        ASSERT_EQ(chooser_.saveRequests.size(), 2u);
        const ui::SaveFileRequest& request = chooser_.saveRequests.back();
        EXPECT_EQ(request.directory, ui::PathToQString(TreePath("d")) + QLatin1Char('/'));
        EXPECT_EQ(request.filters, c.filters);
        EXPECT_EQ(request.defaultSuffix, c.suffix);
        EXPECT_EQ(ReadText(out_ / ("list." + c.suffix.toStdString())), c.exporter->Document(targets));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out_.Path()), {}), 2);
    EXPECT_TRUE(ReadText(out_ / "list.m3u").starts_with("#EXTM3U\n#EXTINF:2,Band - Rock & Roll\n1.mp3\n"))
        << ReadText(out_ / "list.m3u");
    EXPECT_EQ(prompts_.Count(), 0u);

    // A folder that cannot take the file: the one error box, nothing else.
    chooser_.answers = {OutPath("missing/list.m3u")};
    Trigger(ui::Command::ExportM3u);
    ASSERT_EQ(prompts_.Count(), 1u);
    EXPECT_TRUE(prompts_.Prompts().front().text.starts_with(u"Error when opening file \""));
}

TEST_F(ExportTest, XmlOptionsFollowTheLevelRulesAndAreStoredOnSave) {
    LoadAlbum();
    const std::vector<RecordPtr> targets = window_->TargetRecords();
    chooser_.answers = {OutPath("list.xml")};
    XmlExportOptions chosen;
    ASSERT_TRUE(ExportXml([&](XmlExportDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Export XML"));
        // Nothing stored: a flat list.
        EXPECT_EQ(dialog.Levels(), (XmlLevelControls{{{XmlLevel::List, true}, {XmlLevel::List, false},
                                                      {XmlLevel::List, false}, {XmlLevel::List, false}}}));
        EXPECT_EQ(dialog.Options(), XmlExportOptions{});
        QStringList entries;
        for (int i = 0; i < dialog.LevelBox(0).count(); ++i) entries << dialog.LevelBox(0).itemText(i);
        EXPECT_EQ(entries, (QStringList{"List", "Artist", "Album", "Year", "Directory"}));

        QTest::keyClick(&dialog.LevelBox(0), Qt::Key_Down);  // Artist: level 2 opens
        EXPECT_TRUE(dialog.LevelBox(1).isEnabled());
        EXPECT_FALSE(dialog.LevelBox(2).isEnabled());
        QTest::keyClick(&dialog.LevelBox(1), Qt::Key_Down);
        QTest::keyClick(&dialog.LevelBox(1), Qt::Key_Down);  // Album: level 3 opens
        QTest::keyClick(&dialog.LevelBox(2), Qt::Key_Down);  // Artist
        EXPECT_TRUE(dialog.LevelBox(3).isEnabled());
        QTest::keyClick(&dialog.LevelBox(1), Qt::Key_Home);  // List: the levels after it close
        EXPECT_EQ(dialog.Levels(), (XmlLevelControls{{{XmlLevel::Artist, true}, {XmlLevel::List, true},
                                                      {XmlLevel::List, false}, {XmlLevel::List, false}}}));
        QTest::keyClick(&dialog.LevelBox(1), Qt::Key_Down);
        QTest::keyClick(&dialog.LevelBox(1), Qt::Key_Down);  // Album again

        dialog.findChild<QCheckBox*>(QStringLiteral("v2Year"))->click();
        dialog.findChild<QCheckBox*>(QStringLiteral("v1Track"))->click();
        dialog.findChild<QCheckBox*>(QStringLiteral("duration"))->click();
        dialog.findChild<QRadioButton*>(QStringLiteral("fullPath"))->click();
        chosen = dialog.Options();
        dialog.SaveButton().click();
    }));
    EXPECT_EQ(chosen.levels, (std::array<XmlLevel, 4>{XmlLevel::Artist, XmlLevel::Album, XmlLevel::List, XmlLevel::List}));
    EXPECT_EQ(chosen.location, XmlLocation::FullPath);
    EXPECT_TRUE(chosen.v2[kXmlYear] && chosen.v1[kXmlTrack] && chosen.duration);
    EXPECT_EQ(ReadXmlExportOptions(SettingsStore::Instance()), chosen);
    EXPECT_EQ(SettingsStore::Instance().ReadNumber("XML/Structure0", 9), 1u);
    EXPECT_EQ(SettingsStore::Instance().ReadNumber("XML/Structure1", 9), 2u);

    const std::string document = ReadText(out_ / "list.xml");
    EXPECT_EQ(document, XmlExporter(chosen).Document(targets));
    EXPECT_NE(document.find("\t<Artist name=\"Band\">\n\t\t<Album name=\"First\">\n"), std::string::npos);
    EXPECT_NE(document.find("\t<Artist name=\"band\">"), std::string::npos);  // letter case splits groups
    EXPECT_NE(document.find("Rock &amp; Roll"), std::string::npos);
    const CommandResult lint = RunCommand({"xmllint", "--noout", (out_ / "list.xml").string()});
    EXPECT_EQ(lint.status, 0) << lint.err;

    // The next export opens with what was stored.
    chooser_.answers = {OutPath("again.xml")};
    ASSERT_TRUE(ExportXml([&](XmlExportDialog& dialog) {
        EXPECT_EQ(dialog.Options(), chosen);
        EXPECT_EQ(dialog.Levels(), (XmlLevelControls{{{XmlLevel::Artist, true}, {XmlLevel::Album, true},
                                                      {XmlLevel::List, true}, {XmlLevel::List, false}}}));
        QTest::keyClick(&dialog.SaveButton(), Qt::Key_Escape);
    }));
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(ExportTest, XmlLevelsRestoreAsStored) {
    LoadAlbum();
    struct Case {
        std::array<uint32_t, 4> stored;
        XmlLevelControls shown;
    };
    const Case cases[] = {
        {{2, 3, 0, 0}, {{{XmlLevel::Album, true}, {XmlLevel::Year, true}, {XmlLevel::List, true}, {XmlLevel::List, false}}}},
        {{4, 1, 2, 3}, {{{XmlLevel::Directory, true}, {XmlLevel::Artist, true}, {XmlLevel::Album, true}, {XmlLevel::Year, true}}}},
        // 5 or more ends the restoring and leaves the level as the dialog starts it.
        {{5, 0, 0, 0}, {{{XmlLevel::Artist, true}, {XmlLevel::List, false}, {XmlLevel::List, false}, {XmlLevel::List, false}}}},
    };
    for (const Case& c : cases) {
        for (size_t i = 0; i < 4; ++i) {
            SettingsStore::Instance().WriteNumber("XML/Structure" + std::to_string(i), c.stored[i]);
        }
        chooser_.answers = {OutPath("x.xml")};
        ASSERT_TRUE(ExportXml([&](XmlExportDialog& dialog) {
            EXPECT_EQ(dialog.Levels(), c.shown) << c.stored[0] << c.stored[1] << c.stored[2] << c.stored[3];
            dialog.CancelButton().click();
        }));
    }
}

TEST_F(ExportTest, CancellingTheXmlOptionsWritesNothing) {
    LoadAlbum();
    WriteFileBytes(out_ / "old.xml", {'o', 'l', 'd'});
    for (const std::string name : {"new.xml", "old.xml"}) {
        chooser_.answers = {OutPath(name)};
        ASSERT_TRUE(ExportXml([](XmlExportDialog& dialog) {
            dialog.findChild<QCheckBox*>(QStringLiteral("v1Artist"))->click();
            dialog.CancelButton().click();
        }));
    }
    EXPECT_FALSE(std::filesystem::exists(out_ / "new.xml"));
    EXPECT_EQ(ReadText(out_ / "old.xml"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out_.Path()), {}), 1);  // no temporary file left
    EXPECT_FALSE(SettingsStore::Instance().ReadRaw("XML/V1Artist").has_value());
    // Cancelling the save dialog opens no options.
    chooser_.answers = {QString()};
    EXPECT_FALSE(ExportXml([](XmlExportDialog&) {}));
}

TEST_F(ExportTest, PicturesGoToTheChosenFolderAndTheirAbsenceIsToldFirst) {
    MakeFiles({{"d/bare.mp3"}, {"d/bare2.mp3"}, {"d/pic.mp3"}});
    const std::string jpeg = "\xFF\xD8\xFF\xE0 not really a jpeg";
    const CommandResult tagged = RunPython(R"(
import os, sys
from mutagen.id3 import ID3, APIC
tag = ID3(sys.argv[1])
tag.add(APIC(encoding=3, mime='image/jpeg', type=3, desc='', data=os.fsencode(sys.argv[2])))
tag.save()
)", {(tree_ / "d/pic.mp3").string(), jpeg});
    ASSERT_EQ(tagged.status, 0) << tagged.err;
    LoadTree(3, "d");
    const int bare = RowOfFile(QStringLiteral("bare.mp3"));
    const int bare2 = RowOfFile(QStringLiteral("bare2.mp3"));
    const int pic = RowOfFile(QStringLiteral("pic.mp3"));

    SelectRows({bare});
    Trigger(ui::Command::ExportPictures);
    SelectRows({bare2});
    Trigger(ui::Command::ExportPictures);
    EXPECT_EQ(CountPrompts("error", kNoImagesInFile), 1u);
    EXPECT_EQ(CountPrompts("error", kNoImagesInFiles), 1u);
    EXPECT_EQ(prompts_.Prompts().front().caption, u"Quorvane 1.7");
    EXPECT_TRUE(chooser_.directoryRequests.empty());

    SelectRows({pic});
    chooser_.answers = {QString()};
    Trigger(ui::Command::ExportPictures);  // cancelled
    chooser_.answers = {QString::fromStdString(out_.Path().string())};
    Trigger(ui::Command::ExportPictures);
    ASSERT_EQ(chooser_.directoryRequests.size(), 2u);
    EXPECT_EQ(chooser_.directoryRequests.back().title, QStringLiteral("Select a directory"));
    EXPECT_EQ(chooser_.directoryRequests.back().start, ui::PathToQString(TreePath("d")) + QLatin1Char('/'));
    const std::vector<uint8_t> written = ReadFileBytes(out_ / "pic.mp3 - Cover (front).jpg");
    EXPECT_EQ(std::string(written.begin(), written.end()), jpeg);
    EXPECT_EQ(prompts_.Count(), 2u);
}

TEST_F(ExportTest, CommandsAreRefusedWhileASaveCoversTheirFiles) {
    LoadAlbum();
    HeldSave held(window_->Saver());
    SelectRows({0});
    const RecordPtr changed = window_->SelectedRecords().front();
    changed->Tag().SetText(kFrameTIT2, u"Changed");
    window_->RecordsChanged(window_->SelectedRecords());
    Trigger(ui::Command::Save);
    ASSERT_TRUE(held.WaitEntered());

    window_->List().clearSelection();  // every listed file: the one being saved among them
    EXPECT_FALSE(WithDialog<ui::RenameDialog>([&] { Trigger(ui::Command::Rename); }, [](ui::RenameDialog&) {}));
    EXPECT_FALSE(WithDialog<ui::GenerateDialog>([&] { Trigger(ui::Command::Generate); }, [](ui::GenerateDialog&) {}));
    EXPECT_EQ(CountPrompts("error", kEditWhileSaving), 2u);
    chooser_.answers = {OutPath("a.m3u"), OutPath("a.xml"), QString::fromStdString(out_.Path().string())};
    for (ui::Command command : {ui::Command::ExportM3u, ui::Command::ExportPls, ui::Command::ExportXml,
                                ui::Command::ExportPictures}) {
        Trigger(command);
    }
    EXPECT_EQ(CountPrompts("error", kExportWhileSaving), 4u);
    EXPECT_TRUE(chooser_.saveRequests.empty());
    EXPECT_TRUE(chooser_.directoryRequests.empty());
    EXPECT_EQ(prompts_.Prompts().back().caption, u"Quorvane 1.7");

    held.Release();
    WaitForSaveEnd();
    window_->List().clearSelection();
    EXPECT_TRUE(WithDialog<ui::RenameDialog>([&] { Trigger(ui::Command::Rename); }, [](ui::RenameDialog&) {}));
}

TEST_F(ExportTest, TheSaveDialogAddsTheExtensionAndAsksBeforeReplacing) {
    WriteFileBytes(out_ / "list.m3u", {'x'});
    ui::DialogFileChooser chooser;
    const ui::SaveFileRequest request{QString::fromStdString(out_.Path().string()),
                                      {QStringLiteral("M3U Files (*.m3u)"), QStringLiteral("All Files (*)")},
                                      QStringLiteral("m3u")};
    std::vector<QString> questions;
    QString chosen = QStringLiteral("unset");
    const auto answerWith = [&](QMessageBox::StandardButton answer) {
        return [&questions, answer](QMessageBox& box) {
            questions.push_back(box.text());
            box.button(answer)->click();
        };
    };
    ASSERT_TRUE(WithDialog<QFileDialog>([&] { chosen = chooser.ChooseSaveFile(window_.get(), request); },
                                        [&](QFileDialog& dialog) {
                                            auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                                            ASSERT_TRUE(name);
                                            name->setText(QStringLiteral("list"));
                                            const auto confirm = [&] { QTest::keyClick(name, Qt::Key_Return); };
                                            EXPECT_TRUE(WithDialog<QMessageBox>(confirm, answerWith(QMessageBox::No)));
                                            EXPECT_TRUE(dialog.isVisible());
                                            EXPECT_TRUE(WithDialog<QMessageBox>(confirm, answerWith(QMessageBox::Yes)));
                                        }));
    EXPECT_EQ(questions.size(), 2u);
    EXPECT_TRUE(!questions.empty() && questions.front().startsWith(QStringLiteral("list.m3u already exists")));
    EXPECT_EQ(chosen, OutPath("list.m3u"));
}

}  // namespace
}  // namespace quorvane::test
