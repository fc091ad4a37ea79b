#pragma once
// The "ID3v1" page: artist, title, album, track, year and comment as multi-value edits
// limited to what the ID3v1 tag holds, the genre list with "(unchanged)" first, Save
// and Cancel.
#include <array>

#include "operations/v1_pane.h"
#include "ui/editor_pane.h"

class QComboBox;
class QPushButton;

namespace quorvane::ui {

class MultiValueEdit;

class Id3v1Pane final : public EditorPane {
    Q_OBJECT
public:
    explicit Id3v1Pane(EditorServices& services, QWidget* parent = nullptr);

    enum FieldIndex { kArtist, kTitle, kAlbum, kTrack, kYear, kComment, kFieldCount };
    MultiValueEdit& Field(FieldIndex field) const { return *fields_[field]; }
    QComboBox& Genre() const { return *genre_; }
    QPushButton& SaveButton() const { return *save_; }
    QPushButton& CancelButton() const { return *cancel_; }

    V1Edits Edits() const;
    bool HasEdits() const { return Edits().Any(); }

    // Writes the changed fields into the shown records. False when nothing could be
    // written: a running save refused it, or the track is above 255 (the user was told).
    bool Save();
    void Cancel();

protected:
    void Fill(bool keepTyped) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::array<MultiValueEdit*, kFieldCount> fields_{};
    QComboBox* genre_;
    QPushButton* save_;
    QPushButton* cancel_;
    // The genre item shown after the last fill, and whether the user picked one since.
    int shownGenre_ = 0;
    bool genreChanged_ = false;
};

}  // namespace quorvane::ui
