#pragma once
// The window fixture with the tag editor's pages at hand: selecting rows as a user
// does, typing, answering modal dialogs and file choosers, holding a save, and reading
// a file back through the core.
#include <QDialog>

#include <condition_variable>
#include <functional>
#include <mutex>

#include "ui/file_chooser.h"
#include "ui/tag_editor.h"
#include "window_fixture.h"

namespace quorvane::test {

class AnsweringChooser final : public ui::FileChooser {
public:
    QString OpenFile(QWidget*, const QString&, const QStringList& filters) override {
        openFilters = filters;
        return openAnswer;
    }
    QString SaveFile(QWidget*, const QString&, const QString& name, const QString& filter,
                     const QString& suffix) override {
        proposed = name + "|" + filter + "|" + suffix;
        return saveAnswer;
    }
    QString openAnswer, saveAnswer;
    QStringList openFilters;
    QString proposed;
};

class EditorTest : public WindowTest {
protected:
    void SetUp() override;

    ui::TagEditor& Editor() const { return window_->Editor(); }
    // Lets the selection timer and queued calls run.
    static void Settle(int ms = 30);
    // Exactly these view rows selected, as a user would select them; the panes refresh.
    void Select(std::initializer_list<int> rows);
    std::vector<int> SelectedViewRows() const;
    // The file as a fresh load from disk reads it.
    RecordPtr FromDisk(const std::string& rel);
    // The list's Save, waited for.
    void SaveAll();
    // Runs `fill` on the modal dialog that `open` shows, once it shows.
    static void WithModal(const std::function<void()>& open, const std::function<void(QDialog&)>& fill);
    // Adds frames with mutagen: `code` runs with `tag` loaded from sys.argv[1] and saved.
    void TagWith(const std::string& rel, const std::string& code);
    // An image file made by ImageMagick into the tree.
    std::string MakeImage(const std::string& rel, const std::string& size, const std::string& source);

    AnsweringChooser chooser_;
};

}  // namespace quorvane::test
