#pragma once
// The "Export XML" options dialog: which values each file carries and how the files
// are nested (four structure levels). It opens with the stored options; the window
// builds the document from Options() and stores them once the dialog is confirmed.
#include <QDialog>

#include <array>

#include "export/xml_export_options.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace quorvane {
class SettingsStore;
}

namespace quorvane::ui {

class XmlExportDialog final : public QDialog {
    Q_OBJECT
public:
    explicit XmlExportDialog(SettingsStore& store, QWidget* parent = nullptr);

    XmlExportOptions Options() const;
    XmlLevelControls Levels() const;

    QComboBox& LevelBox(size_t level) const { return *levels_[level]; }
    QPushButton& SaveButton() const { return *save_; }
    QPushButton& CancelButton() const { return *cancel_; }

private:
    QWidget* MakeLocationGroup(const XmlExportOptions& options);
    QWidget* MakeInfoGroup(const XmlExportOptions& options);
    QWidget* MakeTagGroup(const QString& title, const std::array<bool, kXmlTagFieldCount>& values,
                          std::array<QCheckBox*, kXmlTagFieldCount>& boxes, const QString& prefix);
    QWidget* MakeStructureGroup(const XmlLevelControls& levels);
    void ShowLevels(const XmlLevelControls& levels);
    void LevelChosen(size_t level, int index);

    std::array<QRadioButton*, 3> location_{};  // file name, full path, none
    QCheckBox* duration_ = nullptr;
    QCheckBox* bitrate_ = nullptr;
    QCheckBox* vbr_ = nullptr;
    std::array<QCheckBox*, kXmlTagFieldCount> v2_{};
    std::array<QCheckBox*, kXmlTagFieldCount> v1_{};
    QCheckBox* skipIfEmpty_ = nullptr;
    std::array<QComboBox*, kXmlLevelCount> levels_{};
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace quorvane::ui
