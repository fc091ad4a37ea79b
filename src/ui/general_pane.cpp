#include "ui/general_pane.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "operations/copy_from_v1.h"
#include "operations/text_fields.h"
#include "tags/id3v1.h"
#include "ui/editor_services.h"
#include "ui/main_window.h"
#include "ui/multi_value_edit.h"
#include "ui/qt_text.h"
#include "ui/tooltips.h"

namespace quorvane::ui {
namespace {

QString Label(V2Field field) {
    switch (field) {
        case V2Field::LeadArtist: return QStringLiteral("Lead Artist");
        case V2Field::Album: return QStringLiteral("Album");
        case V2Field::Title: return QStringLiteral("Title");
        case V2Field::Year: return QStringLiteral("Year");
        case V2Field::Track: break;
    }
    return QStringLiteral("Track");
}

QPushButton* MakeButton(const QString& text, const QString& tip, bool tips, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    SetTooltip(*button, tip, tips);
    return button;
}

}  // namespace

GeneralPane::GeneralPane(EditorServices& services, QWidget* parent) : EditorPane(services, parent) {
    setObjectName(QStringLiteral("generalPane"));
    auto* grid = new QGridLayout;
    auto* shortRow = new QHBoxLayout;  // Year, Track and Genre share the fourth row
    int row = 0;
    for (const V2Field field : kPageOrder) {
        auto* edit = new MultiValueEdit(this);
        edit->setObjectName(Label(field));
        edit->SetDigitsOnly(field == V2Field::Year);
        const FrameId id = FrameOf(field);
        edit->SetCompletionSource([this, id] { return CompletionValues(Shown(), id); });
        fields_[static_cast<size_t>(field)] = edit;
        auto* label = new QLabel(Label(field), this);
        label->setBuddy(edit);
        if (field == V2Field::Year) {
            grid->addWidget(label, row, 0);
            grid->addLayout(shortRow, row, 1);
            shortRow->addWidget(edit);
        } else if (field == V2Field::Track) {
            shortRow->addSpacing(8);
            shortRow->addWidget(label);
            shortRow->addWidget(edit);
        } else {
            grid->addWidget(label, row, 0);
            grid->addWidget(edit, row, 1);
            ++row;
        }
    }
    // Wide enough for "(multiple)" and a track such as 12/15; the genre takes the rest.
    const int shortWidth = fontMetrics().horizontalAdvance(QStringLiteral("(multiple)")) + 28;
    Field(V2Field::Year).setFixedWidth(shortWidth);
    Field(V2Field::Track).setFixedWidth(shortWidth);
    genre_ = new QComboBox(this);
    genre_->setObjectName(QStringLiteral("Genre"));
    genre_->setEditable(true);
    genre_->setInsertPolicy(QComboBox::NoInsert);
    // No completion by prefix: a genre is shown and chosen only by its exact name.
    genre_->setCompleter(nullptr);
    genre_->setMaxVisibleItems(20);
    for (uint32_t index = 0; index < kGenreCount; ++index) genre_->addItem(ToQString(GenreName(index)));
    auto* genreLabel = new QLabel(QStringLiteral("Genre"), this);
    genreLabel->setBuddy(genre_);
    shortRow->addSpacing(8);
    shortRow->addWidget(genreLabel);
    shortRow->addWidget(genre_, 1);
    grid->setColumnStretch(1, 1);
    connect(genre_, &QComboBox::activated, this, [this] { genreChanged_ = true; });
    connect(genre_->lineEdit(), &QLineEdit::textEdited, this, [this] { genreChanged_ = true; });

    const bool tips = services.tooltips;
    save_ = MakeButton(QStringLiteral("Save"), QStringLiteral("Save changes made in edit fields"), tips, this);
    cancel_ = MakeButton(QStringLiteral("Cancel"), QStringLiteral("Cancel changes made to text"), tips, this);
    auto* copy = MakeButton(QStringLiteral("Copy from ID3v1"), QStringLiteral("Fill in ID3v2 information from ID3v1 tags"),
                            tips, this);
    auto* capitalize = MakeButton(QStringLiteral("Capitalize"),
                                  QStringLiteral("Capitalize the first letter of each word in all the ID3v2 fields"),
                                  tips, this);
    auto* convert = MakeButton(QStringLiteral("Convert _ to Space"), QStringLiteral("Convert underscores to spaces"),
                               tips, this);
    save_->setObjectName(QStringLiteral("Save"));
    cancel_->setObjectName(QStringLiteral("Cancel"));
    copy->setObjectName(QStringLiteral("CopyFromV1"));
    capitalize->setObjectName(QStringLiteral("Capitalize"));
    convert->setObjectName(QStringLiteral("ConvertUnderscores"));
    connect(save_, &QPushButton::clicked, this, &GeneralPane::Save);
    connect(cancel_, &QPushButton::clicked, this, &GeneralPane::Cancel);
    connect(copy, &QPushButton::clicked, this, &GeneralPane::CopyFromV1);
    connect(capitalize, &QPushButton::clicked, this, &GeneralPane::Capitalize);
    connect(convert, &QPushButton::clicked, this, &GeneralPane::ConvertUnderscores);

    auto* saveRow = new QHBoxLayout;
    saveRow->addWidget(save_);
    saveRow->addWidget(cancel_);
    auto* buttons = new QVBoxLayout;
    buttons->addLayout(saveRow);
    buttons->addWidget(copy);
    buttons->addWidget(capitalize);
    buttons->addWidget(convert);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);
    grid->setRowStretch(4, 1);

    // Tab goes through the fields in the page's order, then the buttons.
    QWidget* previous = nullptr;
    for (QWidget* next : {static_cast<QWidget*>(&Field(V2Field::LeadArtist)), static_cast<QWidget*>(&Field(V2Field::Album)),
                          static_cast<QWidget*>(&Field(V2Field::Title)), static_cast<QWidget*>(&Field(V2Field::Year)),
                          static_cast<QWidget*>(&Field(V2Field::Track)), static_cast<QWidget*>(genre_),
                          static_cast<QWidget*>(save_), static_cast<QWidget*>(cancel_), static_cast<QWidget*>(copy),
                          static_cast<QWidget*>(capitalize), static_cast<QWidget*>(convert)}) {
        if (previous) setTabOrder(previous, next);
        previous = next;
    }
}

MultiValueEdit& GeneralPane::Field(V2Field field) const { return *fields_[static_cast<size_t>(field)]; }

void GeneralPane::Fill(bool keepTyped) {
    const V2PaneFields shown = RefreshV2Pane(Shown());
    for (const V2Field field : kV2Fields) {
        MultiValueEdit& edit = Field(field);
        if (keepTyped && edit.isModified()) continue;
        edit.Show(shown.Of(field));
    }
    if (!(keepTyped && genreChanged_ && genre_->currentText() != shownGenre_)) ShowGenre(shown.genre);
}

void GeneralPane::ShowGenre(const GenreDisplay& genre) {
    if (genre.item) {
        genre_->setCurrentIndex(static_cast<int>(*genre.item));
    } else {
        // Not a name of the list (or the files disagree): the text as it is, no item.
        genre_->setCurrentIndex(-1);
        genre_->setEditText(ToQString(genre.text));
    }
    shownGenre_ = genre_->currentText();
    genreChanged_ = false;
}

V2Edits GeneralPane::Edits() const {
    V2Edits edits;
    for (const V2Field field : kV2Fields) edits.Of(field) = Field(field).Edited();
    // Opening the list, or picking the genre already shown, changes nothing.
    if (genreChanged_ && genre_->currentText() != shownGenre_) edits.genre = ToU16(genre_->currentText());
    return edits;
}

bool GeneralPane::HasEdits() const {
    const V2Edits edits = Edits();
    for (const V2Field field : kV2Fields) {
        if (edits.Of(field)) return true;
    }
    return edits.genre.has_value();
}

bool GeneralPane::Save() {
    EditSession session(services_, Shown());
    if (!SaveV2Pane(session.Context(), Shown(), Edits())) return false;
    // What was typed is in the records now: a refresh of this page, when it shows
    // again, has nothing typed to keep.
    for (MultiValueEdit* field : fields_) field->setModified(false);
    genreChanged_ = false;
    session.Finish();
    return true;
}

void GeneralPane::Cancel() { Reload(services_.window.SelectedRecords()); }

void GeneralPane::CopyFromV1() {
    EditSession session(services_, Shown());
    if (CopyFieldsFromV1(session.Context(), Shown()).refused) return;
    // The page shows the result, and what was typed and not saved is gone.
    if (!session.Finish()) Reload(services_.window.SelectedRecords());
}

void GeneralPane::Capitalize() {
    EditSession session(services_, Shown());
    if (!CapitalizeFields(session.Context(), Shown())) return;
    // The page shows the result, and what was typed and not saved is gone.
    if (!session.Finish()) Reload(services_.window.SelectedRecords());
}

void GeneralPane::ConvertUnderscores() {
    EditSession session(services_, Shown());
    if (!ConvertUnderscoreFields(session.Context(), Shown())) return;
    // The page shows the result, and what was typed and not saved is gone.
    if (!session.Finish()) Reload(services_.window.SelectedRecords());
}

void GeneralPane::keyPressEvent(QKeyEvent* event) {
    if (!HandleFormKey(*event, [this] { Save(); }, [this] { Cancel(); })) EditorPane::keyPressEvent(event);
}

}  // namespace quorvane::ui
