#include "ui/generate_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "operations/history.h"
#include "operations/regex_generation.h"
#include "platform/settings_store.h"
#include "ui/history_combo.h"
#include "ui/qt_text.h"
#include "ui/tooltips.h"

namespace quorvane::ui {

namespace {

constexpr char kSimpleHelp[] =
    "Enter the expected format of the file, including variables and separators.\n\n"
    "Example:\n"
    "To extract ID3 from the filename \"05_Brennick_Quorvane.mp3\" the expression \"<track>_<artist>_<title>\" "
    "could be used.\n"
    "This would put \"05\" into the ID3v2 track frame, \"Brennick\" into the artist field, and \"Quorvane\" into "
    "the title field.\n\n"
    "Valid variables:\n"
    "artist, album, title, track, year, genre";

constexpr char kRegExpHelp[] =
    "Enter a regular expression, using named groups to describe where the captured data should be inserted.\n\n"
    "Example:\n"
    "To extract ID3 from the filename \"05_Brennick_Quorvane.mp3\" the expression "
    "\"(?P<track>.+)_(?P<artist>.+)_(?P<title>.+)\" could be used.\n"
    "This would put \"05\" into the ID3v2 track frame, \"Brennick\" into the artist field, and \"Quorvane\" into "
    "the title field.\n\n"
    "Valid names:\n"
    "artist, album, title, year, track, genre";

constexpr char kBoxTip[] = "Enter text/variables, or select a previously used expression";

constexpr std::array<const char*, kPreviewFieldCount> kFieldLabels = {"Artist", "Album", "Title",
                                                                     "Track",  "Year",  "Genre"};

QLabel* HelpLabel(const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setObjectName(QStringLiteral("help"));
    return label;
}

}  // namespace

GenerateDialog::GenerateDialog(std::vector<RecordPtr> targets, const EditGate& gate, UserPrompts& prompts,
                               QWidget* parent)
    : QDialog(parent),
      targets_(std::move(targets)),
      gate_(gate),
      prompts_(prompts),
      previewPrompts_(prompts),
      tips_(TooltipsOn()) {
    setWindowTitle(QStringLiteral("Generate ID3 Tags"));

    pages_ = new QTabWidget(this);
    pages_->addTab(MakeSimplePage(), QStringLiteral("Simple"));
    pages_->addTab(MakeRegExpPage(), QStringLiteral("Regular Expressions"));

    auto* buttons = new QDialogButtonBox(this);
    generate_ = buttons->addButton(QStringLiteral("Generate"), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    generate_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &GenerateDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
        (index == 0 ? pattern_ : regexp_)->setFocus();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    pattern_->setFocus();
}

QWidget* GenerateDialog::MakeSimplePage() {
    auto* page = new QWidget(this);
    pattern_ = new HistoryCombo(page);
    pattern_->setObjectName(QStringLiteral("pattern"));
    pattern_->SetHistory(LoadHistory(SettingsStore::Instance(), kGenNormalsHistory));
    pattern_->SetCompletesFromHistory(true);
    SetTooltip(*pattern_, QString::fromUtf8(kBoxTip), tips_);

    auto* group = new QGroupBox(QStringLiteral("Preview for first selected file"), page);
    previewName_ = new QLabel(group);
    previewName_->setObjectName(QStringLiteral("previewName"));
    previewName_->setTextFormat(Qt::PlainText);
    previewName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (!targets_.empty()) previewName_->setText(ToQString(targets_.front()->FileName()));
    auto* fields = new QFormLayout;
    for (size_t i = 0; i < kPreviewFieldCount; ++i) {
        previewFields_[i] = new QLineEdit(group);
        previewFields_[i]->setObjectName(QStringLiteral("preview%1").arg(QString::fromUtf8(kFieldLabels[i])));
        previewFields_[i]->setReadOnly(true);
        previewFields_[i]->setFocusPolicy(Qt::ClickFocus);
        fields->addRow(QString::fromUtf8(kFieldLabels[i]), previewFields_[i]);
    }
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(previewName_);
    groupLayout->addLayout(fields);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(HelpLabel(kSimpleHelp, page));
    layout->addWidget(pattern_);
    layout->addWidget(group);
    layout->addStretch(1);
    connect(pattern_, &HistoryCombo::TextChanged, this, &GenerateDialog::UpdatePreview);
    return page;
}

QWidget* GenerateDialog::MakeRegExpPage() {
    auto* page = new QWidget(this);
    regexp_ = new HistoryCombo(page);
    regexp_->setObjectName(QStringLiteral("regexp"));
    regexp_->SetHistory(LoadHistory(SettingsStore::Instance(), kRegExpsHistory, kDefaultRegExp));
    SetTooltip(*regexp_, QString::fromUtf8(kBoxTip), tips_);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(HelpLabel(kRegExpHelp, page));
    layout->addWidget(regexp_);
    layout->addStretch(1);
    return page;
}

void GenerateDialog::ShowPage(Page page) { pages_->setCurrentIndex(static_cast<int>(page)); }

GenerateDialog::Page GenerateDialog::CurrentPage() const {
    return pages_->currentIndex() == 1 ? Page::RegularExpressions : Page::Simple;
}

QString GenerateDialog::PreviewName() const { return previewName_->text(); }

QString GenerateDialog::PreviewText(PreviewField field) const {
    return previewFields_[static_cast<size_t>(field)]->text();
}

void GenerateDialog::UpdatePreview() {
    previewPrompts_.NextRun();
    PatternPreviewFields fields;
    if (!targets_.empty()) fields = PatternPreview(pattern_->Text(), targets_.front()->FileName(), previewPrompts_);
    for (size_t i = 0; i < kPreviewFieldCount; ++i) {
        previewFields_[i]->setText(ToQString(fields[i]));
        previewFields_[i]->setCursorPosition(0);
    }
    previewPrompts_.ShowNew();
}

void GenerateDialog::accept() {
    SettingsStore& store = SettingsStore::Instance();
    if (CurrentPage() == Page::Simple) {
        std::optional<GenerationPlan> plan =
            PreparePatternGeneration(pattern_->Text(), targets_, gate_, prompts_, &store);
        if (!plan) {
            reject();  // refused while a save covers a target
            return;
        }
        plan_ = std::move(*plan);
    } else {
        std::optional<GenerationPlan> plan = PrepareRegexGeneration(regexp_->Text(), targets_, gate_, prompts_, &store);
        if (!plan) {
            // The expression did not compile: the page stays, with the text as typed.
            regexp_->setFocus();
            return;
        }
        plan_ = std::move(*plan);
    }
    QDialog::accept();
}

}  // namespace quorvane::ui
