// The main window's dialog commands: rename from tags, tag generation, and the exports
// with their file and folder choosers.
#include <QDir>

#include "export/export_file.h"
#include "export/m3u_exporter.h"
#include "export/picture_export.h"
#include "export/pls_exporter.h"
#include "export/xml_export.h"
#include "library/edit_gate.h"
#include "library/tag_saver.h"
#include "operations/rename_from_tags.h"
#include "platform/settings_store.h"
#include "platform/user_prompts.h"
#include "ui/generate_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/rename_dialog.h"
#include "ui/xml_export_dialog.h"

namespace quorvane::ui {

namespace {
// Worded like the other commands that a save refuses.
constexpr std::u16string_view kExportWhileSaving = u"Exporting is disabled when saving is in progress.";

SaveFileRequest SaveRequestFor(const Exporter& exporter, std::span<const RecordPtr> targets) {
    const std::vector<FileFilter> filters = exporter.Filters();
    return {PathToQString(ExportStartDirectory(targets)), DialogFilters(filters),
            ToQString(exporter.DefaultExtension())};
}
}  // namespace

void MainWindow::RenameFromTags() {
    const std::vector<RecordPtr> targets = TargetRecords();
    if (targets.empty() || RefuseWhileSaving(*saver_, targets, prompts_)) return;
    std::u16string expression;
    {
        RenameDialog dialog(targets, prompts_, this);
        if (dialog.exec() != QDialog::Accepted) return;
        expression = dialog.Expression();
    }
    // Stores the expression, compiles it (a mistake is shown and renames nothing) and
    // checks again for a save: the dialog ran an event loop.
    const std::optional<RenamePlan> plan =
        PrepareRename(expression, targets, *saver_, prompts_, &SettingsStore::Instance());
    if (!plan) return;
    ApplyRenames(*plan);
    RecordsChanged(targets);
}

void MainWindow::GenerateTags() {
    const std::vector<RecordPtr> targets = TargetRecords();
    if (targets.empty() || RefuseWhileSaving(*saver_, targets, prompts_)) return;
    GenerateDialog dialog(targets, *saver_, prompts_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    ApplyGeneration(dialog.Plan());
    RecordsChanged(targets);
}

bool MainWindow::RefuseExportWhileSaving(std::span<const RecordPtr> records) {
    // The saver changes a record's tag and names while it writes it: an export must not
    // read them meanwhile.
    for (const RecordPtr& record : records) {
        if (saver_->IsBeingSaved(*record)) {
            prompts_.ShowError(ProgramTitle(), kExportWhileSaving);
            return true;
        }
    }
    return false;
}

void MainWindow::ExportPlaylist(const Exporter& exporter) {
    const std::vector<RecordPtr> targets = TargetRecords();
    if (targets.empty() || RefuseExportWhileSaving(targets)) return;
    const QString path = chooser_->ChooseSaveFile(this, SaveRequestFor(exporter, targets));
    if (path.isEmpty() || RefuseExportWhileSaving(targets)) return;
    ExportDocument(exporter, targets, PathFromQString(path), prompts_);
}

void MainWindow::ExportPlaylistM3u() { ExportPlaylist(M3uExporter()); }

void MainWindow::ExportPlaylistPls() { ExportPlaylist(PlsExporter()); }

void MainWindow::ExportXml() {
    const std::vector<RecordPtr> targets = TargetRecords();
    if (targets.empty() || RefuseExportWhileSaving(targets)) return;
    const QString path = chooser_->ChooseSaveFile(this, SaveRequestFor(XmlExporter({}), targets));
    if (path.isEmpty()) return;
    // The file is made ready first (a failure is told before any option is asked), but
    // it is written only when the options are confirmed: Cancel leaves the disk as it was.
    ExportTarget target;
    if (!target.Open(PathFromQString(path), prompts_)) return;
    XmlExportOptions options;
    {
        XmlExportDialog dialog(SettingsStore::Instance(), this);
        if (dialog.exec() != QDialog::Accepted) return;
        options = dialog.Options();
    }
    if (RefuseExportWhileSaving(targets)) return;
    const std::string document = XmlExporter(options).Document(targets);
    WriteXmlExportOptions(options, SettingsStore::Instance());
    target.Commit(document);
}

void MainWindow::ExportPictures() {
    const std::vector<RecordPtr> targets = TargetRecords();
    if (targets.empty() || RefuseExportWhileSaving(targets)) return;
    if (!CheckPicturesToExport(targets, prompts_)) return;
    const QString directory = chooser_->ChooseDirectory(this, QStringLiteral("Select a directory"),
                                                        PathToQString(ExportStartDirectory(targets)));
    if (directory.isEmpty() || RefuseExportWhileSaving(targets)) return;
    quorvane::ExportPictures(targets, PathFromQString(directory), prompts_);
}

}  // namespace quorvane::ui
