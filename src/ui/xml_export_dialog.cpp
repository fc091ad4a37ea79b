#include "ui/xml_export_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/settings_store.h"
#include "ui/qt_text.h"

namespace quorvane::ui {

namespace {
constexpr std::array<const char*, kXmlTagFieldCount> kTagFieldNames = {"Artist", "Album", "Title",
                                                                       "Year",   "Track", "Genre"};
constexpr int kLevelEntries = 5;  // List, Artist, Album, Year, Directory
}  // namespace

XmlExportDialog::XmlExportDialog(SettingsStore& store, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Export XML"));
    const XmlExportOptions options = ReadXmlExportOptions(store);

    auto* grid = new QGridLayout;
    grid->addWidget(MakeLocationGroup(options), 0, 0);
    grid->addWidget(MakeInfoGroup(options), 1, 0);
    grid->addWidget(MakeTagGroup(QStringLiteral("ID3v2"), options.v2, v2_, QStringLiteral("v2")), 0, 1, 2, 1);
    grid->addWidget(MakeTagGroup(QStringLiteral("ID3v1"), options.v1, v1_, QStringLiteral("v1")), 0, 2, 2, 1);
    grid->addWidget(MakeStructureGroup(RestoreXmlLevels(ReadStoredXmlLevels(store))), 0, 3, 2, 1);

    skipIfEmpty_ = new QCheckBox(QStringLiteral("Skip field if empty"), this);
    skipIfEmpty_->setObjectName(QStringLiteral("skipIfEmpty"));
    skipIfEmpty_->setChecked(options.skipIfEmpty);

    auto* buttons = new QDialogButtonBox(this);
    save_ = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    save_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(skipIfEmpty_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    save_->setFocus();
}

QWidget* XmlExportDialog::MakeLocationGroup(const XmlExportOptions& options) {
    auto* group = new QGroupBox(QStringLiteral("Location"), this);
    auto* layout = new QVBoxLayout(group);
    const char* texts[] = {"File name", "Full file path", "No location info"};
    const char* names[] = {"fileName", "fullPath", "noLocation"};
    for (size_t i = 0; i < location_.size(); ++i) {
        location_[i] = new QRadioButton(QString::fromUtf8(texts[i]), group);
        location_[i]->setObjectName(QString::fromUtf8(names[i]));
        layout->addWidget(location_[i]);
    }
    location_[static_cast<size_t>(options.location)]->setChecked(true);
    return group;
}

QWidget* XmlExportDialog::MakeInfoGroup(const XmlExportOptions& options) {
    auto* group = new QGroupBox(QStringLiteral("MP3 Info"), this);
    auto* layout = new QVBoxLayout(group);
    auto add = [&](const char* text, const char* name, bool on) {
        auto* box = new QCheckBox(QString::fromUtf8(text), group);
        box->setObjectName(QString::fromUtf8(name));
        box->setChecked(on);
        layout->addWidget(box);
        return box;
    };
    duration_ = add("Duration", "duration", options.duration);
    bitrate_ = add("Bitrate", "bitrate", options.bitrate);
    vbr_ = add("VBR (true/false)", "vbr", options.vbr);
    return group;
}

QWidget* XmlExportDialog::MakeTagGroup(const QString& title, const std::array<bool, kXmlTagFieldCount>& values,
                                       std::array<QCheckBox*, kXmlTagFieldCount>& boxes, const QString& prefix) {
    auto* group = new QGroupBox(title, this);
    auto* layout = new QVBoxLayout(group);
    for (size_t i = 0; i < kXmlTagFieldCount; ++i) {
        boxes[i] = new QCheckBox(QString::fromUtf8(kTagFieldNames[i]), group);
        boxes[i]->setObjectName(prefix + QString::fromUtf8(kTagFieldNames[i]));
        boxes[i]->setChecked(values[i]);
        layout->addWidget(boxes[i]);
    }
    layout->addStretch(1);
    return group;
}

QWidget* XmlExportDialog::MakeStructureGroup(const XmlLevelControls& levels) {
    auto* group = new QGroupBox(QStringLiteral("XML Structure"), this);
    auto* layout = new QFormLayout(group);
    for (size_t i = 0; i < kXmlLevelCount; ++i) {
        levels_[i] = new QComboBox(group);
        levels_[i]->setObjectName(QStringLiteral("level%1").arg(i + 1));
        for (int entry = 0; entry < kLevelEntries; ++entry) {
            levels_[i]->addItem(ToQString(XmlLevelName(static_cast<XmlLevel>(entry))));
        }
        layout->addRow(QStringLiteral("Level %1").arg(i + 1), levels_[i]);
        // Only the user's choice runs the level rule; the dialog's own settings do not.
        connect(levels_[i], &QComboBox::activated, this, [this, i](int index) { LevelChosen(i, index); });
    }
    ShowLevels(levels);
    return group;
}

void XmlExportDialog::ShowLevels(const XmlLevelControls& levels) {
    for (size_t i = 0; i < kXmlLevelCount; ++i) {
        levels_[i]->setCurrentIndex(static_cast<int>(levels[i].selection));
        levels_[i]->setEnabled(levels[i].enabled);
    }
}

void XmlExportDialog::LevelChosen(size_t level, int index) {
    if (index < 0 || index >= kLevelEntries) return;
    ShowLevels(ChangeXmlLevel(Levels(), level, static_cast<XmlLevel>(index)));
}

XmlLevelControls XmlExportDialog::Levels() const {
    XmlLevelControls levels;
    for (size_t i = 0; i < kXmlLevelCount; ++i) {
        levels[i] = {static_cast<XmlLevel>(levels_[i]->currentIndex()), levels_[i]->isEnabled()};
    }
    return levels;
}

XmlExportOptions XmlExportDialog::Options() const {
    XmlExportOptions options;
    options.location = location_[1]->isChecked()   ? XmlLocation::FullPath
                       : location_[0]->isChecked() ? XmlLocation::FileName
                                                   : XmlLocation::None;
    options.duration = duration_->isChecked();
    options.bitrate = bitrate_->isChecked();
    options.vbr = vbr_->isChecked();
    for (size_t i = 0; i < kXmlTagFieldCount; ++i) {
        options.v2[i] = v2_[i]->isChecked();
        options.v1[i] = v1_[i]->isChecked();
    }
    options.skipIfEmpty = skipIfEmpty_->isChecked();
    for (size_t i = 0; i < kXmlLevelCount; ++i) options.levels[i] = static_cast<XmlLevel>(levels_[i]->currentIndex());
    return options;
}

}  // namespace quorvane::ui
