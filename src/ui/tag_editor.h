#pragma once
// The tag editor under the file list: "Remove ID3v1", "Remove ID3v2", "Save
// automatically" and "Next File" above the pages "General ID3v2", "Comments", "Pictures"
// and "ID3v1". A page is refreshed only when it shows and the selection changed since it
// last showed; every page lets go of its records when records are destroyed.
#include <QWidget>

#include <array>
#include <memory>

#include "ui/editor_services.h"

class QCheckBox;
class QPushButton;
class QTabWidget;

namespace quorvane {
class TempImageDirectory;
class UserPrompts;
}  // namespace quorvane

namespace quorvane::ui {

class CommentsPane;
class DesktopLauncher;
class EditorPane;
class FileChooser;
class GeneralPane;
class Id3v1Pane;
class MainWindow;
class PicturesPane;
class PreviewHub;

class TagEditor final : public QWidget {
    Q_OBJECT
public:
    enum class Page { General, Comments, Pictures, Id3v1 };

    TagEditor(MainWindow& window, UserPrompts& prompts, DesktopLauncher& launcher, QWidget* parent = nullptr);
    ~TagEditor() override;

    void ShowPage(Page page);
    Page CurrentPage() const;
    QTabWidget& Tabs() const { return *tabs_; }
    GeneralPane& General() const { return *general_; }
    CommentsPane& Comments() const { return *comments_; }
    PicturesPane& Pictures() const { return *pictures_; }
    Id3v1Pane& Id3v1() const { return *id3v1_; }
    QPushButton& RemoveV1Button() const { return *removeV1_; }
    QPushButton& RemoveV2Button() const { return *removeV2_; }
    QCheckBox& AutoSaveBox() const { return *autoSave_; }
    QPushButton& NextFileButton() const { return *nextFile_; }

    // The choosers of the picture dialog (the tests answer them).
    void SetFileChooser(FileChooser& chooser) { services_.chooser = &chooser; }
    PreviewHub& Previews() const { return *previews_; }

    // "Next File": the row after the highest selected one becomes the selection; with
    // "Save automatically" on, the "ID3v1" and "General ID3v2" pages save first, whether
    // they show or not. Nothing moves when a save of theirs is refused.
    void NextFile();

private:
    EditorPane& PaneOf(Page page) const;
    EditorPane& Visible() const;
    void OnSelectionRefreshed();
    void OnRecordsEdited();
    void OnRecordsDropped();
    void OnPageChanged();
    bool SaveFieldPages();

    MainWindow& window_;
    std::unique_ptr<FileChooser> dialogChooser_;
    PreviewHub* previews_;
    std::unique_ptr<TempImageDirectory> tempImages_;
    EditorServices services_;

    QPushButton* removeV1_;
    QPushButton* removeV2_;
    QCheckBox* autoSave_;
    QPushButton* nextFile_;
    QTabWidget* tabs_;
    GeneralPane* general_;
    CommentsPane* comments_;
    PicturesPane* pictures_;
    Id3v1Pane* id3v1_;
    // While "Next File" saves both field pages, no page reloads: the second page to save
    // would lose what was typed in it.
    bool savingPages_ = false;
};

}  // namespace quorvane::ui
