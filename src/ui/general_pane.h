#pragma once
// The "General ID3v2" page: lead artist, album, title, year and track as multi-value
// edits with inline completion, the genre combo box, Save and Cancel, and the clean-up
// buttons "Copy from ID3v1", "Capitalize" and "Convert _ to Space".
#include <array>

#include "operations/v2_pane.h"
#include "ui/editor_pane.h"

class QComboBox;
class QPushButton;

namespace quorvane::ui {

class MultiValueEdit;

class GeneralPane final : public EditorPane {
    Q_OBJECT
public:
    explicit GeneralPane(EditorServices& services, QWidget* parent = nullptr);

    // The fields in the order of the page.
    static constexpr V2Field kPageOrder[] = {V2Field::LeadArtist, V2Field::Album, V2Field::Title, V2Field::Year,
                                             V2Field::Track};
    MultiValueEdit& Field(V2Field field) const;
    QComboBox& Genre() const { return *genre_; }
    QPushButton& SaveButton() const { return *save_; }
    QPushButton& CancelButton() const { return *cancel_; }

    // What the user changed since the fields were filled.
    V2Edits Edits() const;
    bool HasEdits() const;

    // Writes the changed fields into the shown records. False when a running save
    // refused it (the user was told).
    bool Save();
    // Discards what was typed: the fields show the records again.
    void Cancel();

protected:
    void Fill(bool keepTyped) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CopyFromV1();
    void Capitalize();
    void ConvertUnderscores();
    void ShowGenre(const GenreDisplay& genre);

    std::array<MultiValueEdit*, 5> fields_{};  // by V2Field
    QComboBox* genre_;
    QPushButton* save_;
    QPushButton* cancel_;
    // The genre text the combo showed after the last fill, and whether the user picked
    // or typed since: only a genre that differs from the one shown is written.
    QString shownGenre_;
    bool genreChanged_ = false;
};

}  // namespace quorvane::ui
