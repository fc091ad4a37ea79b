#include "ui/preferences_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/user_prompts.h"

namespace quorvane::ui {

namespace {
constexpr char16_t kRestartNotice[] = u"Some settings will not take effect until the program is restarted.";
}

PreferencesDialog::PreferencesDialog(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      prompts_(prompts),
      initial_(PreferenceValues::Read()),
      paddingChoices_(PaddingChoices(initial_.padding)),
      pages_(new QTabWidget(this)) {
    setWindowTitle(QStringLiteral("Quorvane Preferences"));
    pages_->addTab(MakeGeneralPage(), QStringLiteral("General"));
    pages_->addTab(MakeInterfacePage(), QStringLiteral("User Interface"));
    pages_->addTab(MakeId3v2Page(), QStringLiteral("ID3v2"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PreferencesDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addWidget(buttons);

    Show(initial_);
}

QWidget* PreferencesDialog::MakeGeneralPage() {
    auto* page = new QWidget;
    recurse_ = new QCheckBox(QStringLiteral("Recurse Subdirectories"));
    autoDeleteV1_ = new QCheckBox(QStringLiteral("Automatically remove empty IDv1 tags"));
    autoConvert_ = new QCheckBox(QStringLiteral("Automatically convert from ID3v1 to ID3v2 if ID3v2 tag is empty"));
    auto* startup = new QGroupBox(QStringLiteral("On Startup"));
    startupLoad_ = new QRadioButton(QStringLiteral("Load last loaded directories"));
    startupPrompt_ = new QRadioButton(QStringLiteral("Prompt for directory to load"));
    startupNothing_ = new QRadioButton(QStringLiteral("Do nothing"));
    auto* startupLayout = new QVBoxLayout(startup);
    startupLayout->addWidget(startupLoad_);
    startupLayout->addWidget(startupPrompt_);
    startupLayout->addWidget(startupNothing_);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(recurse_);
    layout->addWidget(autoDeleteV1_);
    layout->addWidget(autoConvert_);
    layout->addWidget(startup);
    layout->addStretch();
    return page;
}

QWidget* PreferencesDialog::MakeInterfacePage() {
    auto* page = new QWidget;
    auto* list = new QGroupBox(QStringLiteral("List"));
    showIcons_ = new QCheckBox(QStringLiteral("Show icons for updated files"));
    showRedText_ = new QCheckBox(QStringLiteral("Show updated files with red text"));
    showGridlines_ = new QCheckBox(QStringLiteral("Show gridlines"));
    alternateBg_ = new QCheckBox(QStringLiteral("Alternate item background color"));
    auto* listLayout = new QVBoxLayout(list);
    listLayout->addWidget(showIcons_);
    listLayout->addWidget(showRedText_);
    listLayout->addWidget(showGridlines_);
    listLayout->addWidget(alternateBg_);
    tooltips_ = new QCheckBox(QStringLiteral("Show tooltips"));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(list);
    layout->addWidget(tooltips_);
    layout->addStretch();
    return page;
}

QWidget* PreferencesDialog::MakeId3v2Page() {
    auto* page = new QWidget;
    saveEmpty_ = new QCheckBox(QStringLiteral("Save empty frames"));
    version23_ = new QRadioButton(QStringLiteral("Save files in ID3v2.3\n(more compatible)"));
    version24_ = new QRadioButton(
        QStringLiteral("Save files in ID3v2.4\n(more flexible, but may create\nproblems with older media players)"));
    encoding23_ = new QComboBox;
    encoding24_ = new QComboBox;
    for (const QString& name : EncodingNames23()) encoding23_->addItem(name);
    for (const QString& name : EncodingNames24()) encoding24_->addItem(name);
    padding_ = new QComboBox;
    for (const PaddingChoice& choice : paddingChoices_) padding_->addItem(choice.text);
    connect(version23_, &QRadioButton::toggled, this, &PreferencesDialog::UpdateEncodingLists);

    auto versionBox = [](QRadioButton* radio, QComboBox* list) {
        auto* box = new QGroupBox;
        auto* form = new QFormLayout(box);
        form->addRow(radio);
        form->addRow(new QLabel(QStringLiteral("Encode text as:")), list);
        return box;
    };
    auto* paddingRow = new QFormLayout;
    paddingRow->addRow(new QLabel(QStringLiteral("Decrease padding when it exceeds")), padding_);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(saveEmpty_);
    layout->addWidget(versionBox(version23_, encoding23_));
    layout->addWidget(versionBox(version24_, encoding24_));
    layout->addLayout(paddingRow);
    layout->addStretch();
    return page;
}

void PreferencesDialog::Show(const PreferenceValues& v) {
    recurse_->setChecked(v.recurse);
    autoDeleteV1_->setChecked(v.autoDeleteV1);
    autoConvert_->setChecked(v.autoConvertToV2);
    (v.startupAction == 0 ? startupLoad_ : v.startupAction == 1 ? startupPrompt_ : startupNothing_)->setChecked(true);

    showIcons_->setChecked(v.showIcons);
    showRedText_->setChecked(v.showRedText);
    showGridlines_->setChecked(v.showGridlines);
    alternateBg_->setChecked(v.alternateBg);
    tooltips_->setChecked(v.tooltips);

    saveEmpty_->setChecked(v.saveEmpty);
    (v.use24 ? version24_ : version23_)->setChecked(true);
    encoding23_->setCurrentIndex(static_cast<int>(v.encoding23));
    encoding24_->setCurrentIndex(static_cast<int>(v.encoding24));
    int padding = 0;
    for (size_t i = 0; i < paddingChoices_.size(); ++i) {
        if (paddingChoices_[i].value == v.padding) padding = static_cast<int>(i);
    }
    padding_->setCurrentIndex(padding);
    UpdateEncodingLists();
}

void PreferencesDialog::UpdateEncodingLists() {
    encoding23_->setEnabled(version23_->isChecked());
    encoding24_->setEnabled(!version23_->isChecked());
}

PreferenceValues PreferencesDialog::Shown() const {
    PreferenceValues v;
    v.recurse = recurse_->isChecked();
    v.autoDeleteV1 = autoDeleteV1_->isChecked();
    v.autoConvertToV2 = autoConvert_->isChecked();
    v.startupAction = startupLoad_->isChecked() ? 0 : startupPrompt_->isChecked() ? 1 : 2;
    v.showIcons = showIcons_->isChecked();
    v.showRedText = showRedText_->isChecked();
    v.showGridlines = showGridlines_->isChecked();
    v.alternateBg = alternateBg_->isChecked();
    v.tooltips = tooltips_->isChecked();
    v.saveEmpty = saveEmpty_->isChecked();
    v.use24 = !version23_->isChecked();
    v.encoding23 = static_cast<uint32_t>(std::max(encoding23_->currentIndex(), 0));
    v.encoding24 = static_cast<uint32_t>(std::max(encoding24_->currentIndex(), 0));
    const int padding = padding_->currentIndex();
    v.padding = padding >= 0 ? paddingChoices_[static_cast<size_t>(padding)].value : paddingChoices_[0].value;
    return v;
}

void PreferencesDialog::accept() {
    prompts_.ShowInformation(ProgramTitle(), kRestartNotice);
    WriteChangedPreferences(initial_, Shown());
    QDialog::accept();
}

}  // namespace quorvane::ui
