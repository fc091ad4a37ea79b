#include "ui/id3v1_pane.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "tags/id3v1.h"
#include "ui/editor_services.h"
#include "ui/main_window.h"
#include "ui/multi_value_edit.h"
#include "ui/qt_text.h"
#include "ui/tooltips.h"

namespace quorvane::ui {
namespace {

struct FieldSpec {
    const char* label;
    FieldDisplay V1PaneFields::*shown;
    std::optional<std::u16string> V1Edits::*edit;
    int maxLength;
    bool digits;
    int row, column;  // in the page's grid; Track and Year share a cell
};

// In the page's order; the widths are those of the ID3v1 tag.
constexpr FieldSpec kFields[Id3v1Pane::kFieldCount] = {
    {"Artist", &V1PaneFields::artist, &V1Edits::artist, 30, false, 0, 0},
    {"Title", &V1PaneFields::title, &V1Edits::title, 30, false, 0, 2},
    {"Album", &V1PaneFields::album, &V1Edits::album, 30, false, 1, 0},
    {"Track", &V1PaneFields::track, &V1Edits::track, 3, true, 1, 2},
    {"Year", &V1PaneFields::year, &V1Edits::year, 4, true, 1, 2},
    {"Comment", &V1PaneFields::comment, &V1Edits::comment, 29, false, 2, 2},
};

}  // namespace

Id3v1Pane::Id3v1Pane(EditorServices& services, QWidget* parent) : EditorPane(services, parent) {
    setObjectName(QStringLiteral("id3v1Pane"));
    auto* grid = new QGridLayout;
    auto* numbers = new QHBoxLayout;
    const int shortWidth = fontMetrics().horizontalAdvance(QStringLiteral("(multiple)")) + 28;
    for (size_t i = 0; i < kFieldCount; ++i) {
        const FieldSpec& spec = kFields[i];
        auto* edit = new MultiValueEdit(this);
        edit->setObjectName(QString::fromLatin1(spec.label));
        edit->setMaxLength(spec.maxLength);
        edit->SetDigitsOnly(spec.digits);
        fields_[i] = edit;
        auto* label = new QLabel(QString::fromLatin1(spec.label), this);
        label->setBuddy(edit);
        if (spec.digits) {
            edit->setFixedWidth(shortWidth);
            if (i == kTrack) {
                grid->addWidget(label, spec.row, spec.column);
                grid->addLayout(numbers, spec.row, spec.column + 1);
            } else {
                numbers->addSpacing(8);
                numbers->addWidget(label);
            }
            numbers->addWidget(edit);
        } else {
            grid->addWidget(label, spec.row, spec.column);
            grid->addWidget(edit, spec.row, spec.column + 1);
        }
    }
    numbers->addStretch();
    genre_ = new QComboBox(this);
    genre_->setObjectName(QStringLiteral("Genre"));
    genre_->setMaxVisibleItems(20);
    genre_->addItem(ToQString(kUnchangedGenre));
    for (uint32_t index = 0; index < kGenreCount; ++index) genre_->addItem(ToQString(GenreName(index)));
    auto* genreLabel = new QLabel(QStringLiteral("Genre"), this);
    genreLabel->setBuddy(genre_);
    grid->addWidget(genreLabel, 2, 0);
    grid->addWidget(genre_, 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(3, 1);
    connect(genre_, &QComboBox::activated, this, [this] { genreChanged_ = true; });

    const bool tips = services.tooltips;
    save_ = new QPushButton(QStringLiteral("Save"), this);
    save_->setObjectName(QStringLiteral("Save"));
    SetTooltip(*save_, QStringLiteral("Save changes made to the ID3v1 tag"), tips);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("Cancel"));
    SetTooltip(*cancel_, QStringLiteral("Cancel ID3v1 changes"), tips);
    for (QPushButton* button : {save_, cancel_}) button->setAutoDefault(false);
    connect(save_, &QPushButton::clicked, this, &Id3v1Pane::Save);
    connect(cancel_, &QPushButton::clicked, this, &Id3v1Pane::Cancel);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);
    auto* right = new QVBoxLayout;
    right->addLayout(buttons);
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(right);

    QWidget* previous = nullptr;
    for (QWidget* next : {static_cast<QWidget*>(fields_[kArtist]), static_cast<QWidget*>(fields_[kTitle]),
                          static_cast<QWidget*>(fields_[kAlbum]), static_cast<QWidget*>(fields_[kTrack]),
                          static_cast<QWidget*>(fields_[kYear]), static_cast<QWidget*>(genre_),
                          static_cast<QWidget*>(fields_[kComment]), static_cast<QWidget*>(save_),
                          static_cast<QWidget*>(cancel_)}) {
        if (previous) setTabOrder(previous, next);
        previous = next;
    }
}

void Id3v1Pane::Fill(bool keepTyped) {
    const V1PaneFields shown = RefreshV1Pane(Shown());
    for (size_t i = 0; i < kFieldCount; ++i) {
        if (keepTyped && fields_[i]->isModified()) continue;
        fields_[i]->Show(shown.*kFields[i].shown);
    }
    if (keepTyped && genreChanged_ && genre_->currentIndex() != shownGenre_) return;
    genre_->setCurrentIndex(shown.genre ? *shown.genre + 1 : 0);
    shownGenre_ = genre_->currentIndex();
    genreChanged_ = false;
}

V1Edits Id3v1Pane::Edits() const {
    V1Edits edits;
    for (size_t i = 0; i < kFieldCount; ++i) edits.*kFields[i].edit = fields_[i]->Edited();
    // Picking the genre already shown changes nothing.
    if (genreChanged_ && genre_->currentIndex() != shownGenre_) edits.genre = ToU16(genre_->currentText());
    return edits;
}

bool Id3v1Pane::Save() {
    EditSession session(services_, Shown());
    const V1SaveResult result = SaveV1Pane(session.Context(), Shown(), Edits());
    if (result == V1SaveResult::BadTrack || result == V1SaveResult::Refused) return false;
    for (MultiValueEdit* field : fields_) field->setModified(false);
    genreChanged_ = false;
    session.Finish();
    return true;
}

void Id3v1Pane::Cancel() { Reload(services_.window.SelectedRecords()); }

void Id3v1Pane::keyPressEvent(QKeyEvent* event) {
    if (!HandleFormKey(*event, [this] { Save(); }, [this] { Cancel(); })) EditorPane::keyPressEvent(event);
}

}  // namespace quorvane::ui
