#include "ui/rename_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "operations/rename_from_tags.h"
#include "platform/settings_store.h"
#include "ui/history_combo.h"
#include "ui/qt_text.h"
#include "ui/tooltips.h"

namespace quorvane::ui {

namespace {
constexpr char kHelp[] =
    "Enter any text and/or variables.\n"
    "Variables must be enclosed by brackets (e.g. <title>)\n\n"
    "Valid variables:\n"
    "artist, album, title, track, year, genre";
}  // namespace

RenameDialog::RenameDialog(std::vector<RecordPtr> targets, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), targets_(std::move(targets)), prompts_(prompts) {
    setWindowTitle(QStringLiteral("Rename"));
    const bool tips = TooltipsOn();

    auto* help = new QLabel(QString::fromUtf8(kHelp), this);
    help->setTextFormat(Qt::PlainText);

    expression_ = new HistoryCombo(this);
    expression_->setObjectName(QStringLiteral("expression"));
    expression_->SetHistory(LoadRenameHistory(SettingsStore::Instance()));
    SetTooltip(*expression_, QStringLiteral("Enter text/variables, or select a previously used expression"), tips);

    auto* previewGroup = new QGroupBox(QStringLiteral("Preview for first selected file"), this);
    preview_ = new QLineEdit(previewGroup);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setReadOnly(true);
    preview_->setFocusPolicy(Qt::ClickFocus);
    auto* previewLayout = new QVBoxLayout(previewGroup);
    previewLayout->addWidget(preview_);

    auto* buttons = new QDialogButtonBox(this);
    rename_ = buttons->addButton(QStringLiteral("Rename"), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    rename_->setDefault(true);
    SetTooltip(*rename_, QStringLiteral("Rename the files"), tips);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(help);
    layout->addSpacing(6);
    layout->addWidget(expression_);
    layout->addWidget(previewGroup);
    layout->addStretch(1);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(expression_, &HistoryCombo::TextChanged, this, &RenameDialog::UpdatePreview);
    expression_->setFocus();
}

std::u16string RenameDialog::Expression() const { return expression_->Text(); }

QString RenameDialog::Preview() const { return preview_->text(); }

void RenameDialog::UpdatePreview() {
    prompts_.NextRun();
    preview_->setText(ToQString(RenamePreview(Expression(), targets_, prompts_)));
    preview_->setCursorPosition(0);
    prompts_.ShowNew();
}

}  // namespace quorvane::ui
